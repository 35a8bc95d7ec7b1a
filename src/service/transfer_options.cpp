#include "service/transfer_options.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kBlockSizeName = "blksize";
constexpr const char* kTransferSizeName = "tsize";
constexpr const char* kTimeoutName = "timeout";
constexpr const char* kWindowSizeName = "windowsize";

// A plain decimal number of at most 18 digits (no sign, no blanks), or -1.
std::int64_t ParseNumber(const unsigned char* text, std::size_t length)
{
    if (length == 0 || length > 18)
        return -1;
    std::int64_t value = 0;
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// Stores `value` in `field` when the option was not read before and the
// value lies in range.
template <typename Field>
void Take(Field& field, std::int64_t value, std::int64_t low, std::int64_t high)
{
    if (field < 0 && value >= low && value <= high)
        field = static_cast<Field>(value);
}

std::size_t Append(unsigned char* at, const char* text)
{
    std::size_t length = std::strlen(text) + 1;
    std::memcpy(at, text, length);
    return length;
}

std::size_t AppendOption(unsigned char* at, const char* name, long long value)
{
    char number[24];
    std::snprintf(number, sizeof number, "%lld", value);
    std::size_t length = Append(at, name);
    return length + Append(at + length, number);
}

} // namespace

TransferOptions ParseOptions(const unsigned char* options, std::size_t length)
{
    TransferOptions asked;
    const unsigned char* at = options;
    const unsigned char* end = options + length;
    while (at < end) {
        const void* nameEnd = std::memchr(at, '\0', static_cast<std::size_t>(end - at));
        if (nameEnd == nullptr)
            break;
        const unsigned char* value = static_cast<const unsigned char*>(nameEnd) + 1;
        const void* valueEnd =
            value < end ? std::memchr(value, '\0', static_cast<std::size_t>(end - value)) : nullptr;
        if (valueEnd == nullptr)
            break; // a name without its value: nothing more to read
        const std::size_t nameLength =
            static_cast<std::size_t>(static_cast<const unsigned char*>(nameEnd) - at);
        const std::int64_t number = ParseNumber(
            value, static_cast<std::size_t>(static_cast<const unsigned char*>(valueEnd) - value));
        if (EqualsProtocolName(kBlockSizeName, at, nameLength)) {
            // More than the largest block is answered with the largest.
            if (number > static_cast<std::int64_t>(kMaxBlockSize))
                Take(asked.blockSize, kMaxBlockSize, kMinBlockSize, kMaxBlockSize);
            else
                Take(asked.blockSize, number, kMinBlockSize, kMaxBlockSize);
        } else if (EqualsProtocolName(kTransferSizeName, at, nameLength)) {
            Take(asked.transferSize, number, 0, INT64_MAX);
        } else if (EqualsProtocolName(kTimeoutName, at, nameLength)) {
            Take(asked.timeout, number, 1, 255);
        } else if (EqualsProtocolName(kWindowSizeName, at, nameLength)) {
            Take(asked.windowSize, number, 1, 65535);
        }
        at = static_cast<const unsigned char*>(valueEnd) + 1;
    }
    return asked;
}

std::int32_t GrantedWindow(std::int32_t asked, std::uint32_t blockSize)
{
    const std::int32_t fit =
        static_cast<std::int32_t>(kWindowByteCap / std::max<std::uint32_t>(blockSize, kBlockSize));
    return std::clamp(std::min(asked, fit), 1, 65535);
}

std::size_t BuildOack(unsigned char* packet, const TransferOptions& options)
{
    WriteWord(packet, kOpOack);
    std::size_t length = 2;
    if (options.blockSize >= 0)
        length += AppendOption(packet + length, kBlockSizeName, options.blockSize);
    if (options.transferSize >= 0)
        length += AppendOption(packet + length, kTransferSizeName, options.transferSize);
    if (options.timeout >= 0)
        length += AppendOption(packet + length, kTimeoutName, options.timeout);
    if (options.windowSize >= 0)
        length += AppendOption(packet + length, kWindowSizeName, options.windowSize);
    return length;
}

void DescribeOptions(const TransferOptions& options, char* text, std::size_t size)
{
    struct Shown
    {
        const char* name;
        long long value;
    };

    const Shown shown[] = {{kBlockSizeName, options.blockSize},
                           {kTransferSizeName, static_cast<long long>(options.transferSize)},
                           {kTimeoutName, options.timeout},
                           {kWindowSizeName, options.windowSize}};
    std::size_t used = 0;
    text[0] = '\0';
    for (const Shown& option : shown) {
        if (option.value < 0 || used >= size)
            continue;
        int n = std::snprintf(text + used, size - used, "%s%s %lld", used > 0 ? ", " : "",
                              option.name, option.value);
        if (n < 0)
            break;
        used += static_cast<std::size_t>(n);
    }
}
