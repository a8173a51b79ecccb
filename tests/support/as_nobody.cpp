#include "as_nobody.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "sim_run.h"

namespace fs = std::filesystem;

namespace orvy::test {
namespace {

constexpr uid_t kNobody = 65534;
constexpr const char *kSetpriv = "/usr/bin/setpriv";

// Whether users other than the owner may enter `directory`: it and every
// directory above it let others search them.
bool others_may_enter(const std::string &directory)
{
    std::error_code error;
    const fs::path full = fs::canonical(directory, error);
    if (error) return false;
    for (fs::path step = full;; step = step.parent_path()) {
        struct stat info {};
        if (::stat(step.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) return false;
        if (step == step.root_path()) return true;
    }
}

// The scratch directory's place: $TMPDIR (the tests point it into the build
// tree) when nobody may enter it, /tmp otherwise.
std::string scratch_parent()
{
    const char *tmp = std::getenv("TMPDIR");
    if (tmp != nullptr && *tmp != '\0' && others_may_enter(tmp)) return tmp;
    return "/tmp";
}

// The system's own libraries stay where they are: everyone may read them.
bool is_system_library(const std::string &path)
{
    return path.rfind("/usr/", 0) == 0 || path.rfind("/lib/", 0) == 0 ||
           path.rfind("/lib64/", 0) == 0;
}

void copy_executable(const fs::path &from, const fs::path &to)
{
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    fs::permissions(to, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
}

}  // namespace

AsNobody::AsNobody(const std::vector<std::string> &programs)
{
    if (::geteuid() != 0) return;
    if (::access(kSetpriv, X_OK) != 0) {
        unavailable_ = "no setpriv (util-linux) to drop root";
        return;
    }
    scratch_ = std::make_unique<ScratchDir>("orvy-nobody", scratch_parent());
    const fs::path top = scratch_->path();
    fs::create_directories(top / "bin");
    fs::create_directories(top / "lib");
    fs::create_directories(top / "tmp");
    for (const fs::path &directory : {top, top / "bin", top / "lib"}) {
        fs::permissions(directory, fs::perms::owner_all | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec);
    }
    // nobody's own TMPDIR, where the simulator makes its test bed.
    if (::chown((top / "tmp").c_str(), kNobody, kNobody) != 0) {
        throw std::runtime_error("cannot give " + (top / "tmp").string() + " to nobody");
    }

    copy_for_nobody(simulator_path(), true);
    for (const auto &program : programs) copy_for_nobody(program, false);

    std::string library_path = (top / "lib").string();
    if (const char *old = std::getenv("LD_LIBRARY_PATH"); old != nullptr && *old != '\0') {
        library_path += std::string(":") + old;
    }
    prefix_ = {kSetpriv,
               "--reuid=" + std::to_string(kNobody),
               "--regid=" + std::to_string(kNobody),
               "--clear-groups",
               "env",
               "TMPDIR=" + (top / "tmp").string(),
               "LD_LIBRARY_PATH=" + library_path};
    check_nobody_may_run();
}

// The copies keep the build's run path, which nobody may be unable to follow:
// LD_LIBRARY_PATH leads them to the copied libraries first.
void AsNobody::copy_for_nobody(const std::string &program, bool with_preload)
{
    const fs::path top = scratch_->path();
    const fs::path copy = top / "bin" / fs::path(program).filename();
    copy_executable(program, copy);
    copies_.push_back(copy.string());
#ifdef ORVY_SIM_PRELOAD_PATH
    // The simulator looks for its preload library next to itself.
    if (with_preload && fs::exists(ORVY_SIM_PRELOAD_PATH)) {
        const fs::path preload = ORVY_SIM_PRELOAD_PATH;
        copy_executable(preload, top / "bin" / preload.filename());
    }
#else
    (void)with_preload;
#endif
    const RunResult ldd = run_program({"ldd", program});
    for (const auto &line : lines_of(ldd.out)) {
        const auto arrow = line.find(" => /");
        if (arrow == std::string::npos) continue;
        const auto name_start = line.find_first_not_of(" \t");
        const std::string name = line.substr(name_start, arrow - name_start);
        const std::string path = line.substr(arrow + 4, line.rfind(" (") - arrow - 4);
        if (is_system_library(path)) continue;
        copy_executable(path, top / "lib" / name);
    }
}

// A copy that nobody cannot run (a /tmp mounted noexec, setpriv refused in a
// container) is the machine's permission problem, not the product's fault.
void AsNobody::check_nobody_may_run()
{
    std::vector<std::string> check = prefix_;
    check.insert(check.end(),
                 {"sh", "-c",
                  "\"$1\" --help >/dev/null || exit; shift; for p; do test -x \"$p\" || "
                  "{ echo \"$p: not executable\" >&2; exit 1; }; done; test -w \"$TMPDIR\" || "
                  "{ echo \"$TMPDIR: not writable\" >&2; exit 1; }",
                  "sh"});
    check.insert(check.end(), copies_.begin(), copies_.end());
    const RunResult result = run_program(check);
    if (result.exit_status != 0) {
        unavailable_ = "the user nobody (uid 65534) may not run the copies in " + scratch_->path() +
                       " (a permission problem of this machine): " + result.err;
    }
}

std::vector<std::string> AsNobody::under_simulator(const std::vector<std::string> &sim_options,
                                                   const std::vector<std::string> &command) const
{
    std::vector<std::string> full = prefix_;
    full.push_back(scratch_ ? copies_.front() : simulator_path());
    full.insert(full.end(), sim_options.begin(), sim_options.end());
    full.emplace_back("--");
    full.insert(full.end(), command.begin(), command.end());
    return full;
}

std::string AsNobody::program(const std::string &program) const
{
    if (!scratch_) return program;
    std::string copy = fs::path(scratch_->path()) / "bin" / fs::path(program).filename();
    for (const auto &made : copies_) {
        if (made == copy) return copy;
    }
    throw std::logic_error(program + " was not given to AsNobody");
}

}  // namespace orvy::test
