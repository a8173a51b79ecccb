#include "Orvy_Tb.h"

#include "allocation.h"
#include "coded_notation.h"

#include <climits>
#include <cstring>
#include <memory>

namespace {

// One printer command in both forms. Taken with malloc and released field by
// field in orvy_tb_cmd_exit, so that a half-built record can be released the
// same way as a finished one.
struct S_ORVYTB_COMMAND {
    unsigned char *pubCoded;
    int nCoded;
    unsigned char *pubRaw;
    int nRaw;
};
using PS_ORVYTB_COMMAND = S_ORVYTB_COMMAND *;

// The record keeps its counts as int; longer inputs are refused rather than
// counted wrongly. 3 * kMaxRawInput + 3 still fits an int.
constexpr unsigned int kMaxCodedInput = INT_MAX;
constexpr unsigned int kMaxRawInput = (INT_MAX - 2) / 3;
static_assert(kMaxRawInput == 715827881U);

PS_ORVYTB_COMMAND record_of(intptr_t cmd) noexcept
{
    return reinterpret_cast<PS_ORVYTB_COMMAND>(cmd);
}

struct ReleaseRecord {
    void operator()(S_ORVYTB_COMMAND *psCmd) const noexcept
    {
        orvy_tb_cmd_exit(reinterpret_cast<intptr_t>(psCmd));
    }
};
using RecordOwner = std::unique_ptr<S_ORVYTB_COMMAND, ReleaseRecord>;

RecordOwner new_empty_record() noexcept
{
    auto *psCmd = static_cast<PS_ORVYTB_COMMAND>(orvy::tb::allocate(sizeof(S_ORVYTB_COMMAND)));
    if (psCmd != nullptr) *psCmd = S_ORVYTB_COMMAND{nullptr, 0, nullptr, 0};
    return RecordOwner(psCmd);
}

unsigned char *new_copy(const unsigned char *bytes, std::size_t n) noexcept
{
    auto *copy = static_cast<unsigned char *>(orvy::tb::allocate(n));
    if (copy != nullptr) std::memcpy(copy, bytes, n);
    return copy;
}

unsigned char *new_buffer(std::size_t n) noexcept
{
    return static_cast<unsigned char *>(orvy::tb::allocate(n));
}

int get_bytes(intptr_t cmd, unsigned char *S_ORVYTB_COMMAND::*field, int S_ORVYTB_COMMAND::*count,
              unsigned char **cmd_ptr, unsigned int *cmd_size) noexcept
{
    if (cmd == 0 || cmd_ptr == nullptr || cmd_size == nullptr) return 0;
    const PS_ORVYTB_COMMAND psCmd = record_of(cmd);
    *cmd_ptr = psCmd->*field;
    *cmd_size = static_cast<unsigned int>(psCmd->*count);
    return 1;
}

}  // namespace

intptr_t orvy_tb_cmd_init_coded(unsigned char *cmd_ptr, unsigned int cmd_size)
{
    if (cmd_ptr == nullptr || cmd_size == 0 || cmd_size > kMaxCodedInput) return 0;
    const std::size_t n = cmd_size;

    RecordOwner psCmd = new_empty_record();
    if (!psCmd) return 0;
    psCmd->pubCoded = new_copy(cmd_ptr, n);
    if (psCmd->pubCoded == nullptr) return 0;
    psCmd->nCoded = static_cast<int>(n);
    // Twice the text, as the record has always reserved; the parse needs n.
    psCmd->pubRaw = new_buffer(2 * n);
    if (psCmd->pubRaw == nullptr) return 0;
    psCmd->nRaw =
        static_cast<int>(orvy::tb::parse_coded_notation(psCmd->pubCoded, n, psCmd->pubRaw));
    return reinterpret_cast<intptr_t>(psCmd.release());
}

intptr_t orvy_tb_cmd_init_raw(unsigned char *cmd_ptr, unsigned int cmd_size)
{
    if (cmd_ptr == nullptr || cmd_size == 0 || cmd_size > kMaxRawInput) return 0;
    const std::size_t n = cmd_size;

    RecordOwner psCmd = new_empty_record();
    if (!psCmd) return 0;
    psCmd->pubRaw = new_copy(cmd_ptr, n);
    if (psCmd->pubRaw == nullptr) return 0;
    psCmd->nRaw = static_cast<int>(n);
    psCmd->pubCoded = new_buffer(orvy::tb::canonical_coded_capacity(n));
    if (psCmd->pubCoded == nullptr) return 0;
    psCmd->nCoded =
        static_cast<int>(orvy::tb::write_canonical_coded(psCmd->pubRaw, n, psCmd->pubCoded));
    return reinterpret_cast<intptr_t>(psCmd.release());
}

int orvy_tb_cmd_get_raw(intptr_t cmd, unsigned char **cmd_ptr, unsigned int *cmd_size)
{
    return get_bytes(cmd, &S_ORVYTB_COMMAND::pubRaw, &S_ORVYTB_COMMAND::nRaw, cmd_ptr, cmd_size);
}

int orvy_tb_cmd_get_coded(intptr_t cmd, unsigned char **cmd_ptr, unsigned int *cmd_size)
{
    return get_bytes(cmd, &S_ORVYTB_COMMAND::pubCoded, &S_ORVYTB_COMMAND::nCoded, cmd_ptr,
                     cmd_size);
}

int orvy_tb_cmd_get_coded_str(intptr_t cmd, char **ppszStr)
{
    if (cmd == 0 || ppszStr == nullptr) return 0;
    *ppszStr = reinterpret_cast<char *>(record_of(cmd)->pubCoded);
    return 1;
}

void orvy_tb_cmd_exit(intptr_t cmd)
{
    if (cmd == 0) return;
    const PS_ORVYTB_COMMAND psCmd = record_of(cmd);
    if (psCmd->pubCoded != nullptr) {
        orvy::tb::release(psCmd->pubCoded);
        psCmd->pubCoded = nullptr;
        psCmd->nCoded = 0;
    }
    if (psCmd->pubRaw != nullptr) {
        orvy::tb::release(psCmd->pubRaw);
        psCmd->pubRaw = nullptr;
        psCmd->nRaw = 0;
    }
    orvy::tb::release(psCmd);
}
