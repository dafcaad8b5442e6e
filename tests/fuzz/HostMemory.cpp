// Fuzz targets: guarded host records and exactly sized host texts.
#include "HostMemory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzz {
namespace {

constexpr std::size_t kRecordAlignment = alignof(std::max_align_t);

} // namespace

void Fail(const char* what, std::uint32_t functionCode) {
    std::fprintf(stderr, "fuzz invariant broken after function code %u: %s\n", static_cast<unsigned>(functionCode),
                 what);
    std::abort();
}

HostArena::HostArena(std::size_t capacity) : bytes_(capacity + kGuardBytes, kPattern) {}

void* HostArena::Place(std::size_t length) {
    const std::size_t start = (used_ + kGuardBytes + kRecordAlignment - 1) / kRecordAlignment * kRecordAlignment;
    // The last record needs a guard behind it as well.
    if (start + length + kGuardBytes > bytes_.size()) Fail("host arena too small for its records", 0);
    used_ = start + length;
    return bytes_.data() + start;
}

void HostArena::Snapshot() {
    snapshot_ = bytes_;
}

bool HostArena::UnchangedExcept(const std::vector<ByteRange>& allowed) const {
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (bytes_[i] == snapshot_[i]) continue;
        const unsigned char* address = bytes_.data() + i;
        bool inAllowed = false;
        for (const ByteRange& range : allowed) {
            const auto* start = static_cast<const unsigned char*>(range.Start);
            if (start != nullptr && address >= start && address < start + range.Length) inAllowed = true;
        }
        if (!inAllowed) return false;
    }
    return true;
}

HostText::HostText(const std::string& text)
    : bytes_(static_cast<char*>(std::malloc(text.size() + 1))), copy_(text) {
    if (bytes_ == nullptr) Fail("out of memory for a host text", 0);
    std::memcpy(bytes_, text.data(), text.size());
    bytes_[text.size()] = '\0';
}

HostText::~HostText() {
    std::free(bytes_);
}

bool HostText::Unchanged() const {
    return std::memcmp(bytes_, copy_.data(), copy_.size()) == 0 && bytes_[copy_.size()] == '\0';
}

} // namespace fuzz
