#pragma once

#include <cstddef>

namespace StateBlock
{
/** Walks a block in the framework's binary value-tree form without building anything and
    says whether reading it is safe: every count or length it declares fits in the bytes
    that follow, no count is negative, trees and arrays nest at most maxDepth deep, and
    every text is well-formed UTF-8. The framework's reader trusts all of that, so a few
    hostile bytes could otherwise ask it for gigabytes, billions of loop turns or a stack
    overflow, or send its text handling past the end of a buffer. */
bool isSafeToRead (const void* data, size_t size);

inline constexpr int maxDepth = 32;
} // namespace StateBlock
