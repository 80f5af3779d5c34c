#pragma once
// Item descriptors, as the item reader and the print routine take them: a
// 16-bit little-endian item count, then one byte per item. Its low six bits
// give the item's type; for printing, its top two bits say what follows it.

#include <cstddef>
#include <cstdint>
#include <span>

namespace platform {

// Item types.
inline constexpr std::uint8_t kItemInteger = 3;  // 32-bit signed whole number
inline constexpr std::uint8_t kItemSingle = 4;   // single-precision number
inline constexpr std::uint8_t kItemText = 8;
inline constexpr std::uint8_t kItemTypeBits = 0x3F;

// What follows a printed item.
inline constexpr std::uint8_t kThenDirectly = 0x40;  // the next item, at once
inline constexpr std::uint8_t kThenNextZone = 0x00;  // the next item, at the next print zone
inline constexpr std::uint8_t kThenLineEnd = 0x80;
inline constexpr std::uint8_t kThenBits = 0xC0;

// True when `descriptor` lists exactly `items` items.
inline bool describes(std::span<const std::uint8_t> descriptor, std::size_t items) {
  if (descriptor.size() < 2) return false;
  const std::size_t count = descriptor[0] | (std::size_t{descriptor[1]} << 8);
  return count == items && descriptor.size() == 2 + count;
}

}  // namespace platform
