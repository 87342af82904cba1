#pragma once

// What an extraction may write: how deep a member lies, how far it may expand, and whether the
// target has room for it. The refusals are told in the component's own Korean messages.
#include <zip.h>

#include <cstddef>
#include <string>

namespace tk::engine {

// Deeper names are refused: the scratch folder must stay removable by any tool, which a path
// past PATH_MAX is not; a saved page nests a few folders at most.
inline constexpr int kMaxMemberFolders = 32;
inline constexpr size_t kMaxMemberNameBytes = 1024;

// A member may yield at most this many bytes per compressed byte. Bodies measured 3-13x (text,
// formatting, pictures as hex); blank content goes further (empty paragraphs 500x, a blank
// picture as hex or pure spaces 1000x, deflate's most), so each archive may yield up to
// kRatioGrace bytes beyond the ratio before anything is refused.
inline constexpr zip_uint64_t kMaxRatio = 100;
inline constexpr zip_uint64_t kRatioGrace = zip_uint64_t{64} << 20;

// Decompressed bytes are counted as they come; no member may grow past what the directory
// declares, and these caps hold whatever it declares.
struct MemberLimits {
    zip_uint64_t maxMember = zip_uint64_t{2} << 30;
    zip_uint64_t maxArchive = zip_uint64_t{8} << 30;
    zip_uint64_t written = 0;
    zip_uint64_t archiveSize = ~zip_uint64_t{0};  // no compressed size counts for more than the file
    zip_uint64_t graceLeft = kRatioGrace;
    bool checkSpace = true;  // off when members are only tested, not written

    // The most a member of packed compressed bytes may yield.
    zip_uint64_t ratioAllowance(zip_uint64_t packed) const;
    // Counts a member that came out whole.
    void commit(zip_uint64_t out, zip_uint64_t packed);
};

// True when a member name has more than kMaxMemberFolders folders or more than
// kMaxMemberNameBytes bytes.
bool isTooDeep(const std::string& name);

// Bytes an unprivileged writer may still put on the file system of fd; the most there is when the
// system does not say.
zip_uint64_t freeBytes(int fd);

// The messages for the component, in Korean, each within a callback's text.
std::string tooDeepMessage(const std::string& name);
std::string tooCompressedMessage(const std::string& name);
std::string noSpaceMessage(const std::string& folder, zip_uint64_t needed, zip_uint64_t free);

// "1.5 MB" and the like, for messages.
std::string byteText(zip_uint64_t bytes);
// text cut in its middle to at most maxBytes bytes, never inside a character.
std::string elided(const std::string& text, size_t maxBytes);

}  // namespace tk::engine
