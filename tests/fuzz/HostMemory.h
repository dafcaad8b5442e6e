// Fuzz targets: the host's memory as the driver sees it. Records sit apart inside one pattern-filled
// buffer, so a stray write anywhere shows up against a snapshot; texts end their own allocation, so
// AddressSanitizer stops a read past the NUL.
#ifndef DYX_FUZZ_HOST_MEMORY_H
#define DYX_FUZZ_HOST_MEMORY_H

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace fuzz {

// Prints what broke after which call and aborts: libFuzzer reports that as a crash and keeps the input.
[[noreturn]] void Fail(const char* what, std::uint32_t functionCode);

inline void Require(bool holds, const char* what, std::uint32_t functionCode) {
    if (!holds) Fail(what, functionCode);
}

// Starts a host record in area with every byte set to the arena's pattern. The pattern is written
// after the record exists, so the compiler may not take its bytes for indeterminate.
template <class Record> Record* StartRecord(void* area);

// The StateSize that the driver's description reports: what a host allocates for each channel.
std::uint32_t StateSize();

// Bytes a call may change.
struct ByteRange {
    const void* Start;
    std::size_t Length;
};

class HostArena {
public:
    static constexpr unsigned char kPattern = 0xA5;
    static constexpr std::size_t kGuardBytes = 32;

    // capacity must hold every record placed with its guard; the buffer never moves.
    explicit HostArena(std::size_t capacity);

    // Fills the whole buffer with the pattern again and forgets every record placed.
    void Clear();

    // Reserves length bytes behind a guard, aligned for any record. They hold the pattern until the
    // caller fills them.
    void* Place(std::size_t length);

    template <class Record> Record* Place() { return StartRecord<Record>(Place(sizeof(Record))); }

    void Snapshot();

    // True when every byte outside the allowed ranges still holds what it held at the snapshot.
    bool UnchangedExcept(const std::vector<ByteRange>& allowed) const;

private:
    std::vector<unsigned char> bytes_;
    std::vector<unsigned char> snapshot_;
    std::size_t used_ = 0;
};

template <class Record> Record* StartRecord(void* area) {
    Record* record = ::new (area) Record;
    std::memset(static_cast<void*>(record), HostArena::kPattern, sizeof(Record));
    return record;
}

// A host's NUL-terminated text in an allocation of exactly its length plus the NUL. The text may hold
// NULs of its own; the driver then sees only what comes before the first.
class HostText {
public:
    explicit HostText(const std::string& text);
    ~HostText();
    HostText(const HostText&) = delete;
    HostText& operator=(const HostText&) = delete;

    const char* Get() const { return bytes_; }

    // True when the driver left every byte, the NUL included, as it was.
    bool Unchanged() const;

private:
    char* bytes_;
    std::string copy_;
};

} // namespace fuzz

#endif
