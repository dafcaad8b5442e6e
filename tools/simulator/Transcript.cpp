// Writes the simulator's transcript file.
#include "Transcript.h"

#include <cerrno>
#include <cstring>

namespace simulator {

std::string EscapeBytes(std::string_view bytes) {
    static const char kHexDigits[] = "0123456789ABCDEF";
    std::string text;
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += "\\r";
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\t') {
            text += "\\t";
        } else if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += c;
        } else {
            text += "\\x";
            text += kHexDigits[byte >> 4];
            text += kHexDigits[byte & 0x0F];
        }
    }
    return text;
}

Transcript::Transcript() : Start(Clock::now()) {}

Transcript::~Transcript() {
    if (File != nullptr) {
        std::fclose(File);
    }
}

bool Transcript::Open(const std::string& path, std::string& error) {
    File = std::fopen(path.c_str(), "w");
    if (File == nullptr) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void Transcript::Record(Clock::time_point when, std::string_view direction, std::string_view bytes,
                        std::string_view note) {
    if (File == nullptr) {
        return;
    }
    const double seconds = std::chrono::duration<double>(when - Start).count();
    const std::string escaped = EscapeBytes(bytes);
    std::fprintf(File, "%.6f %.*s \"%s\"%s%.*s\n", seconds, static_cast<int>(direction.size()), direction.data(),
                 escaped.c_str(), note.empty() ? "" : " ", static_cast<int>(note.size()), note.data());
    std::fflush(File);
}

void Transcript::Note(std::string_view text) {
    if (File == nullptr) {
        return;
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - Start).count();
    std::fprintf(File, "%.6f -- %.*s\n", seconds, static_cast<int>(text.size()), text.data());
    std::fflush(File);
}

} // namespace simulator
