// The run layout the filter library's image is stored in: a 32-bit little-endian count of
// expanded bytes, then runs to the end. A run starts with a signed 32-bit little-endian count c;
// c >= 1: c literal bytes follow; c <= 0: one byte follows, repeated -c times.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// Largest expanded image accepted: far above any filter library, far below what a hostile
// count could make us allocate.
inline constexpr std::size_t kMaxFilterImageBytes = 64u * 1024u * 1024u;

// Runs of at least this many equal bytes are written as repeats.
inline constexpr std::size_t kMinRepeatRun = 8;

// Packs data into the run layout. Thread: any.
std::vector<std::uint8_t> PackFilterImage(std::span<const std::uint8_t> data);

// Expands an image into *out. False, with *why, for a truncated image, runs that disagree with
// the stated size or a size above kMaxFilterImageBytes; *out is then
// empty. Thread: any.
bool ExpandFilterImage(std::span<const std::uint8_t> image, std::vector<std::uint8_t>* out,
                       std::string* why);
