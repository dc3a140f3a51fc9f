#include "engine/image_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vantrel {
namespace {

constexpr std::size_t kHeaderProbeLength = 1024;

constexpr ImageKindInfo kImageKinds[] = {
    {kImageLoad, "LOAD", 66560, "0x10000000", "LD"},
    {kImageAppl, "APPL", 590848, "0x10010000", "AP"},
    {kImageLdap, "LDAP", 1049600, "0x10000000", "1M"},
};

bool HasAt(const std::array<std::uint8_t, kHeaderProbeLength>& header, std::size_t offset,
           std::string_view text) {
    return std::memcmp(header.data() + offset, text.data(), text.size()) == 0;
}

// 66560 as "66,560".
std::string GroupedDigits(std::int64_t number) {
    const std::string digits = std::to_string(number);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        const std::size_t left = digits.size() - i;
        if (i > 0 && digits[i - 1] != '-' && left % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

}  // namespace

const ImageKindInfo* FindImageKind(std::int32_t kind) {
    for (const ImageKindInfo& info : kImageKinds) {
        if (info.kind == kind) {
            return &info;
        }
    }
    return nullptr;
}

namespace {

// The kind a header names; `header` is the file's first bytes, zero-filled
// behind a shorter file.
std::int32_t KindOfHeader(const std::array<std::uint8_t, kHeaderProbeLength>& header) {
    if (!HasAt(header, 8, "29") || !HasAt(header, 0, "ZKMR")) {
        return kImageNone;
    }
    // Tested in this order: APPL, LOAD, LDAP.
    for (std::int32_t kind : {kImageAppl, kImageLoad, kImageLdap}) {
        if (HasAt(header, 12, FindImageKind(kind)->headerText)) {
            return kind;
        }
    }
    return kImageNone;
}

ImageCheck HeaderError(std::int32_t kind) {
    return {kImageNone, "file type error [" + std::to_string(kind) + "] ",
            "an image starts with ZKMR, 29 at byte 8 and LOAD, APPL or LDAP at byte 12"};
}

// The check of the file's size against its kind's; passes with the kind.
ImageCheck SizeCheck(std::int32_t kind, std::int64_t size) {
    const ImageKindInfo& info = *FindImageKind(kind);
    if (size == info.requiredSize) {
        return {kind, {}, {}};
    }
    return {kImageNone,
            "[" + std::string(info.sizeLabel) + "]file size error [" + std::to_string(size) + "] ",
            std::string(info.headerText.front() == 'A' ? "an " : "a ") +
                std::string(info.headerText) + " image is " + GroupedDigits(info.requiredSize) +
                " bytes; this file has " + GroupedDigits(size)};
}

}  // namespace

std::int32_t CheckImageFile(ReadOnlyFile& file) {
    std::array<std::uint8_t, kHeaderProbeLength> header{};
    file.SeekToStart();
    file.Read(header);
    return KindOfHeader(header);
}

std::int64_t ImageFileSize(ReadOnlyFile& file) {
    return file.SeekToEnd();
}

ImageCheck InspectImageFile(const std::string& path) {
    ReadOnlyFile file;
    if (!file.Open(path)) {
        return {kImageNone, "Cannot open " + path, "an image is a regular file that can be read"};
    }
    const std::int32_t kind = CheckImageFile(file);
    if (kind == kImageNone) {
        return HeaderError(kind);
    }
    return SizeCheck(kind, ImageFileSize(file));
}

ImageCheck InspectImageBytes(std::span<const std::uint8_t> image, std::int32_t expectedKind) {
    std::array<std::uint8_t, kHeaderProbeLength> header{};
    std::copy_n(image.begin(), std::min(image.size(), header.size()), header.begin());
    const std::int32_t kind = KindOfHeader(header);
    if (kind == kImageNone || kind != expectedKind) {
        return HeaderError(kind);
    }
    return SizeCheck(kind, static_cast<std::int64_t>(image.size()));
}

std::string CannotFindMessage(std::string_view fileName) {
    return "Can't found [" + std::string(fileName) + "]";
}

}  // namespace vantrel
