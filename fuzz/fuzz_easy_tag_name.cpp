// EasyTag cutting a file name by a format: the first bytes give the format, the rest the name.
#include "core/tags/easy_tag.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tunex;
    fuzz::InputReader input(data, size);
    NameFormat format;
    const std::uint8_t enabled = input.byte();
    const std::uint8_t fields = input.byte();
    int enabledCount = 0;
    for (std::size_t slot = 0; slot < format.slots.size(); ++slot) {
        format.slots[slot].enabled = ((enabled >> slot) & 1) != 0;
        format.slots[slot].field = kNameFields[(fields >> (2 * slot)) & 3];
        enabledCount += format.slots[slot].enabled ? 1 : 0;
    }
    // A delimiter is one character as typed, which may take up to four bytes of UTF-8.
    format.delimiter1 = std::string(input.piece(1 + input.byte() % 4));
    format.delimiter2 = std::string(input.piece(1 + input.byte() % 4));
    const std::string fileName(input.rest());
    const std::string_view base = baseNameOf(fileName);
    TUNEX_FUZZ_CHECK(fileName.compare(0, base.size(), base) == 0);

    const auto values = splitFileName(base, format);
    if (values) {
        TUNEX_FUZZ_CHECK(values->size() == static_cast<std::size_t>(enabledCount));
        std::size_t slot = 0;
        for (const NameValue& value : *values) {
            while (!format.slots[slot].enabled) {
                ++slot;
            }
            TUNEX_FUZZ_CHECK(value.field == format.slots[slot].field);
            TUNEX_FUZZ_CHECK(base.find(value.value) != std::string_view::npos);
            ++slot;
        }
    }
    const auto trimmed = nameValuesFor(fileName, format);
    TUNEX_FUZZ_CHECK(trimmed.has_value() == values.has_value());
    if (trimmed) {
        for (const NameValue& value : *trimmed) {
            TUNEX_FUZZ_CHECK(trimWhiteSpace(value.value) == value.value);
        }
    }
    return 0;
}
