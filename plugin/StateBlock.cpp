#include "StateBlock.h"

#include <cstdint>

namespace StateBlock
{
namespace
{
    // Mirrors the framework's stream reader byte for byte: reads past the end yield zeros
    // and short reads, exactly as its memory input stream does.
    class Scanner
    {
    public:
        Scanner (const unsigned char* d, size_t n) : data (d), size (n) {}

        size_t remaining() const { return size - pos; }

        unsigned char readByte() { return pos < size ? data[pos++] : 0; }

        void skip (size_t n) { pos += n < remaining() ? n : remaining(); }

        // Returns whether the string read is not empty.
        bool readString()
        {
            if (readByte() == 0)
                return false;

            while (readByte() != 0)
            {
            }

            return true;
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
                case 8:          // binary
                    skip ((size_t) numBytes - 1);
                    return true;
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
                default:
                    skip ((size_t) numBytes - 1);
                    return true;
            }
        }

        // Returns false for a block that must not be read; clears isValid when the tree
        // read is empty, which ends its parent's list of children as in the framework.
        bool readTree (int depth, bool& isValid)
        {
            isValid = false;

            if (depth >= maxDepth)
                return false;

            if (! readString())
                return true;

            isValid = true;

            int64_t numProps = 0;
            if (! readCount (numProps))
                return false;

            for (int64_t i = 0; i < numProps; ++i)
            {
                // The framework reads no value after an empty name.
                if (readString() && ! readVar (depth + 1))
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
