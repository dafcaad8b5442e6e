// Fuzz targets: guarded host records and exactly sized host texts.
#include "HostMemory.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "DyxDriver.h"

namespace fuzz {
namespace {

constexpr std::size_t kRecordAlignment = alignof(std::max_align_t);

} // namespace

void Fail(const char* what, std::uint32_t functionCode) {
    std::fprintf(stderr, "fuzz invariant broken after function code %u: %s\n", static_cast<unsigned>(functionCode),
                 what);
    std::abort();
}

std::uint32_t StateSize() {
    static const std::uint32_t stateSize = [] {
        DriverDescription description{};
        DriverRequest request{};
        request.FunctionCode = DYX_DESCRIBE_DRIVER;
        request.Params = &description;
        if (DyxMain(&request) != DYX_DONE) Fail("describe failed", DYX_DESCRIBE_DRIVER);
        if (description.StateSize < sizeof(ChannelState)) Fail("StateSize below the record", DYX_DESCRIBE_DRIVER);
        return description.StateSize;
    }();
    return stateSize;
}

HostArena::HostArena(std::size_t capacity) : bytes_(capacity + kGuardBytes, kPattern) {}

void HostArena::Clear() {
    std::fill(bytes_.begin(), bytes_.end(), kPattern);
    used_ = 0;
}

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
    // The allowed ranges as offsets, in order; the bytes between them must match the snapshot.
    const auto base = reinterpret_cast<std::uintptr_t>(bytes_.data());
    std::vector<std::pair<std::size_t, std::size_t>> skipped;
    for (const ByteRange& range : allowed) {
        const auto start = reinterpret_cast<std::uintptr_t>(range.Start);
        if (start < base || start - base + range.Length > bytes_.size()) Fail("an allowed range outside the arena", 0);
        skipped.emplace_back(start - base, start - base + range.Length);
    }
    std::sort(skipped.begin(), skipped.end());
    std::size_t position = 0;
    for (const auto& [start, end] : skipped) {
        if (start > position &&
            std::memcmp(bytes_.data() + position, snapshot_.data() + position, start - position) != 0) {
            return false;
        }
        position = std::max(position, end);
    }
    return std::memcmp(bytes_.data() + position, snapshot_.data() + position, bytes_.size() - position) == 0;
}

HostText::HostText(const std::string& text) : bytes_(static_cast<char*>(std::malloc(text.size() + 1))), copy_(text) {
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
