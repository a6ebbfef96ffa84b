#pragma once
// How the Windows check list keeps an item's state in the list box's data word: the
// caller's 32-bit item data in the low half and the check state above it, so that the
// state follows the item wherever insertion moves it. Plain integers, so that a program
// reading the list box from outside decodes the word as the list itself does.

#include <cstdint>

constexpr std::uint32_t ItemDataOfWord(std::uint64_t word) { return static_cast<std::uint32_t>(word); }
constexpr int CheckOfWord(std::uint64_t word) { return static_cast<int>((word >> 32) & 0x3); }
constexpr std::uint64_t WordWithItemData(std::uint64_t word, std::uint32_t data)
{
    return (word & ~0xFFFFFFFFull) | data;
}
constexpr std::uint64_t WordWithCheck(std::uint64_t word, int check)
{
    return (word & 0xFFFFFFFFull) | (static_cast<std::uint64_t>(check & 0x3) << 32);
}
