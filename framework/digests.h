#pragma once

#include <string>

struct Digests {
    // Lower-case hex, as md5sum, sha1sum and sha256sum print them; empty where the
    // system gives no such hash.
    std::string md5, sha1, sha256;
};
