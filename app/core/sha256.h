#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// SHA-256 (FIPS 180-4), so that a dump mailed to support can be checked against the line that
// reported its read-out.
class TSha256
{
public:
    using TDigest = std::array<std::uint8_t, 32>;

    TSha256();
    void Add(std::string_view bytes);
    TDigest Finish(); // the digest; the object then starts over

private:
    void Compress(const std::uint8_t* block);
    std::array<std::uint32_t, 8> State;
    std::array<std::uint8_t, 64> Pending{};
    std::size_t PendingSize = 0;
    std::uint64_t TotalBytes = 0;
};

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);
std::string DigestHex(const TSha256::TDigest& digest);

// The SHA-256 of a file's content in hexadecimal, or nothing when it cannot be read.
std::optional<std::string> FileSha256Hex(const std::filesystem::path& file);
