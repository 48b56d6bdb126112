#include "hostctl/property_block.h"

#include "platform/codepage.h"
#include "platform/paths.h"

namespace hostctl {
namespace {

constexpr int32_t kVersion = 1;

void PutInt(std::vector<uint8_t>& out, int32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

class Reader {
  public:
    explicit Reader(const std::vector<uint8_t>& b) : b_(b) {}
    bool Int(int32_t& v) {
        if (pos_ + 4 > b_.size()) return false;
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(b_[pos_ + i]) << (8 * i);
        v = static_cast<int32_t>(u);
        pos_ += 4;
        return true;
    }
    bool Text(std::string& t) {
        size_t end = pos_;
        while (end < b_.size() && b_[end] != 0) ++end;
        if (end >= b_.size()) return false;
        t.assign(b_.begin() + pos_, b_.begin() + end);
        pos_ = end + 1;
        return true;
    }

  private:
    const std::vector<uint8_t>& b_;
    size_t pos_ = 0;
};

}  // namespace

BrowserProperties BrowserProperties::Defaults() {
    // Beside the program when it may write there, else in the user's data directory.
    BrowserProperties p;
    p.storageDirectory = platform::Utf8ToGbk(platform::StorageDirectory("缓存目录"));
    p.cookieDirectory = platform::Utf8ToGbk(platform::StorageDirectory("cookie目录"));
    return p;
}

std::vector<uint8_t> WritePropertyBlock(const BrowserProperties& p) {
    std::vector<uint8_t> out;
    PutInt(out, kVersion);
    PutInt(out, p.reserved1);
    PutInt(out, p.reserved2);
    PutText(out, p.startAddress);
    PutText(out, p.storageDirectory);
    PutText(out, p.cookieDirectory);
    PutText(out, p.userAgent);
    PutInt(out, p.allowNewWindow ? 1 : 0);
    return out;
}

std::optional<BrowserProperties> ReadPropertyBlock(const std::vector<uint8_t>& block) {
    BrowserProperties p = BrowserProperties::Defaults();
    if (block.empty()) return p;
    Reader r(block);
    int32_t version = 0, allow = 1;
    if (!r.Int(version) || version > kVersion) return std::nullopt;
    if (!r.Int(p.reserved1) || !r.Int(p.reserved2) || !r.Text(p.startAddress) ||
        !r.Text(p.storageDirectory) || !r.Text(p.cookieDirectory) || !r.Text(p.userAgent) ||
        !r.Int(allow))
        return std::nullopt;
    p.allowNewWindow = allow != 0;
    return p;
}

}  // namespace hostctl
