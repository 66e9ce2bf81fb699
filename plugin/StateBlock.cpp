#include "StateBlock.h"

#include <algorithm>
#include <cstdint>

namespace StateBlock
{
namespace
{
    // The framework's text classes walk past the end of malformed UTF-8, so every text in a
    // block must be well formed. Text ends at a zero byte, for the framework too.
    bool isUtf8 (const unsigned char* text, size_t length)
    {
        for (size_t i = 0; i < length && text[i] != 0;)
        {
            const auto c = text[i];
            if (c < 0x80)
            {
                ++i;
                continue;
            }

            const size_t extra = (c >= 0xc2 && c <= 0xdf)   ? 1
                                 : (c >= 0xe0 && c <= 0xef) ? 2
                                 : (c >= 0xf0 && c <= 0xf4) ? 3
                                                            : 0;
            if (extra == 0 || i + extra >= length)
                return false;

            for (size_t k = 1; k <= extra; ++k)
                if ((text[i + k] & 0xc0) != 0x80)
                    return false;

            i += extra + 1;
        }
        return true;
    }

    // Mirrors the framework's stream reader byte for byte: reads past the end yield zeros
    // and short reads, exactly as its memory input stream does.
    class Scanner
    {
    public:
        Scanner (const unsigned char* d, size_t n) : data (d), size (n) {}

        size_t remaining() const { return size - pos; }

        unsigned char readByte() { return pos < size ? data[pos++] : 0; }

        void skip (size_t n) { pos += std::min (n, remaining()); }

        // Reads a zero-terminated text; wellFormed tells whether it is valid UTF-8.
        // Returns whether it is not empty.
        bool readString (bool& wellFormed)
        {
            const auto start = pos;
            while (readByte() != 0)
            {
            }
            wellFormed = isUtf8 (data + start, pos - start);
            return pos > start && data[start] != 0;
        }

        // Returns false for values the framework would read wrongly or that are negative.
        bool readCompressedInt (int64_t& result)
        {
            const auto sizeByte = readByte();
            result = 0;

            if (sizeByte == 0)
                return true;

            const auto numBytes = (size_t) (sizeByte & 0x7f);

            if (numBytes > 4 || numBytes > remaining() || (sizeByte & 0x80) != 0)
                return false;

            uint32_t value = 0;
            for (size_t i = 0; i < numBytes; ++i)
                value |= (uint32_t) readByte() << (8 * i);

            result = (int64_t) (int32_t) value;
            return result >= 0;
        }

        // A count of items that each take at least one byte cannot exceed the bytes left.
        bool readCount (int64_t& count)
        {
            return readCompressedInt (count) && (uint64_t) count <= remaining();
        }

        bool readVar (int depth)
        {
            int64_t numBytes = 0;
            if (! readCount (numBytes))
                return false;

            if (numBytes == 0)
                return true;

            switch (readByte())
            {
                case 1:
                    skip (4);
                    return true; // int
                case 6:
                    skip (8);
                    return true; // int64
                case 2:          // true
                case 3:
                    return true; // false
                case 4:
                    skip (8);
                    return true; // double
                case 5:          // string
                {
                    const auto length = std::min ((size_t) numBytes - 1, remaining());
                    const auto wellFormed = isUtf8 (data + pos, length);
                    skip (length);
                    return wellFormed;
                }
                case 7: // array
                {
                    if (depth >= maxDepth)
                        return false;

                    int64_t numElements = 0;
                    if (! readCount (numElements))
                        return false;

                    for (int64_t i = 0; i < numElements; ++i)
                        if (! readVar (depth + 1))
                            return false;

                    return true;
                }
                case 8: // binary; the framework compares empty ones through a null pointer
                    skip ((size_t) numBytes - 1);
                    return numBytes > 1;
                default: // types the framework skips
                    skip ((size_t) numBytes - 1);
                    return true;
            }
        }

        // Returns false for a block that must not be read; clears isValid when the tree read
        // is empty, which ends its parent's list of children as in the framework.
        bool readTree (int depth, bool& isValid)
        {
            isValid = false;

            if (depth >= maxDepth)
                return false;

            bool wellFormed = false;
            if (! readString (wellFormed))
                return true;
            if (! wellFormed)
                return false;

            isValid = true;

            int64_t numProps = 0;
            if (! readCount (numProps))
                return false;

            for (int64_t i = 0; i < numProps; ++i)
            {
                // The framework reads no value after an empty name.
                const auto named = readString (wellFormed);
                if (! wellFormed || (named && ! readVar (depth + 1)))
                    return false;
            }

            int64_t numChildren = 0;
            if (! readCount (numChildren))
                return false;

            for (int64_t i = 0; i < numChildren; ++i)
            {
                bool childIsValid = false;
                if (! readTree (depth + 1, childIsValid))
                    return false;
                if (! childIsValid)
                    break;
            }

            return true;
        }

    private:
        const unsigned char* data;
        size_t size;
        size_t pos = 0;
    };
} // namespace

bool isSafeToRead (const void* data, size_t size)
{
    if (data == nullptr || size == 0)
        return false;

    Scanner scanner (static_cast<const unsigned char*> (data), size);
    bool isValid = false;
    return scanner.readTree (0, isValid) && isValid;
}
} // namespace StateBlock
