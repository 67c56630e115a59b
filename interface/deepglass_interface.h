// The module's external interface as numbers and texts: what hosts, stored records and the
// module's own resources rely on. The module, the command-line tool and the stand-in host program
// all include this file, so each fact is written here once. The resource script includes it too,
// and sees only the macros above the RC_INVOKED guard.
#pragma once

// Texts the host reads and the dialogs show. Changing them changes what users see, not what stored
// records hold. The resource compiler joins no string literals, so the texts made of others are
// spelled out whole; the checks below keep them in agreement.
#define DEEPGLASS_PRODUCT_NAME "Deepglass"
#define DEEPGLASS_VERSION_NUMBER "1.0"
#define DEEPGLASS_VERSION "Version 1.0"
#define DEEPGLASS_VERSION_LINE "Deepglass, Version 1.0"
#define DEEPGLASS_AUTHOR "Deepglass developers"
#define DEEPGLASS_RIGHTS "Copyright (c) 2026 Deepglass developers"
#define DEEPGLASS_WEB_ADDRESS "deepglass.example.org"
#define DEEPGLASS_CATEGORY "Image Filter"

// Mode values, stored in every configuration record; they are also the control ids of the
// control dialog's three radio buttons. Changing one breaks every saved record.
#define MODE_WHOLE_IMAGE 1010
#define MODE_MATERIAL_ID 1011
#define MODE_OBJECT_ID 1012

#ifndef RC_INVOKED

#include <cstddef>
#include <cstdint>
#include <string_view>

static_assert(std::string_view{DEEPGLASS_VERSION} == "Version " DEEPGLASS_VERSION_NUMBER);
static_assert(std::string_view{DEEPGLASS_VERSION_LINE} == DEEPGLASS_PRODUCT_NAME ", " DEEPGLASS_VERSION);

// Hosts find the filter and accept its saved records by this word: it is the tag of every
// configuration record and the first word of the class id. Changing it orphans every saved record.
constexpr std::uint32_t versionWord = 0x5E7601D7;
// The class id saved scenes name the filter by.
constexpr std::uint32_t CLASS_ID_A = versionWord;
constexpr std::uint32_t CLASS_ID_B = 0x19B756BE;
// The family the host files image filters under; a module of another family is not a filter.
constexpr std::uint32_t FILTER_FAMILY = 0xE00;
// The host refuses modules built for another version of its interface.
constexpr std::uint32_t libraryVersion = 110;
constexpr std::uint32_t capabilityFlags = 6;

// The configuration record: four little-endian 32-bit words, 16 bytes, kept by the host with its
// own data. Every saved record relies on this layout.
constexpr std::size_t CONFIG_RECORD_SIZE = 16;
constexpr std::size_t CONFIG_TAG_OFFSET = 0;
constexpr std::size_t CONFIG_MODE_OFFSET = 4;
constexpr std::size_t CONFIG_OBJECT_ID_OFFSET = 8;
constexpr std::size_t CONFIG_MATERIAL_ID_OFFSET = 12;

inline std::uint32_t ReadRecordWord(const unsigned char* record, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value |= static_cast<std::uint32_t>(record[offset + i]) << (8 * i);
    return value;
}

inline void WriteRecordWord(unsigned char* record, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) record[offset + i] = static_cast<unsigned char>(value >> (8 * i));
}

// The ID bounds of the control dialog's spinners; 0 can be chosen for neither.
constexpr int MATERIAL_ID_MIN = 1;
constexpr int MATERIAL_ID_MAX = 8;
constexpr int OBJECT_ID_MIN = 1;
constexpr int OBJECT_ID_MAX = 65535;

// Depth magnitudes at or above the depth limit take no part in a frame's depth range (it is also
// the range's starting minimum); depths at or above the far cut-off map to grey 0. The host marks
// pixels where nothing was rendered with the negated cut-off. Bits 0x60AD78EC and 0x7149F2CA.
constexpr float DEPTH_LIMIT = 1e20f;
constexpr float FAR_CUTOFF = 1e30f;
constexpr float HOST_BACKGROUND_DEPTH = -FAR_CUTOFF;

// The auxiliary channel bits are the host's own: CHANNEL_DEPTH, CHANNEL_MATERIAL_ID and
// CHANNEL_OBJECT_ID in the host's bitmap declarations.

#endif // RC_INVOKED
