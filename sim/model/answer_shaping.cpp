#include "answer_shaping.h"

#include <algorithm>

namespace orvy::sim {

Bytes shape_answer(Bytes answer, const AnswerShape &shape)
{
    const std::optional<std::uint8_t> header[] = {shape.esc, shape.marker, shape.type, shape.size};
    for (std::size_t i = 0; i < 4 && i < answer.size(); ++i) {
        if (header[i]) answer[i] = *header[i];
    }
    if (shape.short_length && *shape.short_length < answer.size()) {
        answer.resize(*shape.short_length);
    }
    answer.insert(answer.begin(), shape.garbage, 0xEE);
    return answer;
}

std::vector<Bytes> split_into_packets(const Bytes &bytes, const std::vector<std::size_t> &sizes,
                                      std::size_t max_packet)
{
    std::vector<Bytes> packets;
    std::size_t offset = 0;
    std::size_t index = 0;
    while (offset < bytes.size()) {
        std::size_t size = sizes.empty() ? max_packet : sizes[std::min(index, sizes.size() - 1)];
        size = std::clamp<std::size_t>(size, 1, max_packet);
        size = std::min(size, bytes.size() - offset);
        packets.emplace_back(bytes.begin() + offset, bytes.begin() + offset + size);
        offset += size;
        ++index;
    }
    return packets;
}

}  // namespace orvy::sim
