#include "engines/aes_check.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <cstring>
#include <memory>
#include <vector>

namespace tk::engine {
namespace {

constexpr int kVerifierLength = 2;
constexpr int kMacLength = 10;
constexpr int kIterations = 1000;

int keyLength(zip_uint16_t method) {
    switch (method) {
        case ZIP_EM_AES_128:
            return 16;
        case ZIP_EM_AES_192:
            return 24;
        case ZIP_EM_AES_256:
            return 32;
        default:
            return 0;
    }
}

struct ZipFileCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};

// Reads the member's stored bytes: salt, verifier, encrypted data, authentication code.
bool readStored(zip_t* za, zip_uint64_t index, zip_uint64_t size, std::vector<unsigned char>& out) {
    std::unique_ptr<zip_file_t, ZipFileCloser> f(zip_fopen_index(za, index, ZIP_FL_ENCRYPTED));
    if (!f) {
        return false;
    }
    out.resize(size);
    zip_uint64_t got = 0;
    while (got < size) {
        const zip_int64_t n = zip_fread(f.get(), out.data() + got, size - got);
        if (n <= 0) {
            break;  // a stored member's CRC check may fail here once every byte has arrived
        }
        got += static_cast<zip_uint64_t>(n);
    }
    return got == size;
}

}  // namespace

AesCheck checkAesAuthentication(zip_t* za, zip_uint64_t index, const std::string& password) {
    zip_stat_t st;
    if (zip_stat_index(za, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_COMP_SIZE)) {
        return AesCheck::Unreadable;
    }
    const int keyLen = keyLength(st.encryption_method);
    const zip_uint64_t saltLen = static_cast<zip_uint64_t>(keyLen / 2);
    if (keyLen == 0 || st.comp_size < saltLen + kVerifierLength + kMacLength) {
        return AesCheck::Unreadable;
    }
    std::vector<unsigned char> stored;
    if (!readStored(za, index, st.comp_size, stored)) {
        return AesCheck::Unreadable;
    }
    std::vector<unsigned char> keys(static_cast<size_t>(2 * keyLen + kVerifierLength));
    if (PKCS5_PBKDF2_HMAC_SHA1(password.data(), static_cast<int>(password.size()), stored.data(),
                               static_cast<int>(saltLen), kIterations, static_cast<int>(keys.size()),
                               keys.data()) != 1) {
        return AesCheck::Unreadable;
    }
    const size_t dataStart = saltLen + kVerifierLength;
    const size_t dataLength = stored.size() - dataStart - kMacLength;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (!HMAC(EVP_sha1(), keys.data() + keyLen, keyLen, stored.data() + dataStart, dataLength, digest, &digestLength)) {
        return AesCheck::Unreadable;
    }
    return std::memcmp(digest, stored.data() + dataStart + dataLength, kMacLength) == 0 ? AesCheck::Authentic
                                                                                        : AesCheck::Altered;
}

}  // namespace tk::engine
