#include "request_reader.h"

#include <string>

namespace vnservice {
namespace {

// A chunk-size line (size and extensions).
constexpr size_t kMaxChunkLine = 1024;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

}  // namespace

RequestReader::Step RequestReader::Refuse(int status, const char* text) {
    status_ = status;
    refusal_ = text;
    return Step::kRefused;
}

RequestReader::Step RequestReader::Advance(std::string& data) {
    for (;;) {
        if (state_ == State::Head || state_ == State::Trailers) {
            const size_t eol = data.find('\n', scan_);
            if ((eol == std::string::npos ? data.size() : eol) - headStart_ > limits_.maxHeadBytes)
                return Refuse(431, "request head too large");
            if (eol == std::string::npos) return Step::kMore;
            const bool blank = data.find_first_not_of('\r', scan_) >= eol;
            scan_ = eol + 1;
            if (++headLines_ > limits_.maxHeadLines + 1) return Refuse(431, "too many header lines");
            if (!blank) continue;
            if (state_ == State::Trailers) break;  // the request is whole
            // The head is whole: decide how the body is framed.
            bodyStart_ = scan_;
            std::string length, encoding;
            bool conflicting = false, expectContinue = false;
            const std::string head = data.substr(0, bodyStart_);
            for (size_t at = head.find('\n') + 1, next; (next = head.find('\n', at)) != std::string::npos;
                 at = next + 1) {
                const std::string h = head.substr(at, next - at);
                const size_t colon = h.find(':');
                if (colon == std::string::npos) continue;
                const std::string name = Lower(Trim(h.substr(0, colon)));
                const std::string value = Trim(h.substr(colon + 1));
                if (name == "content-length") {
                    if (!length.empty() && length != value) conflicting = true;
                    length = value;
                } else if (name == "transfer-encoding") {
                    encoding += (encoding.empty() ? "" : ",") + Lower(value);
                } else if (name == "expect") {
                    expectContinue = Lower(value) == "100-continue";
                }
            }
            if (conflicting || (!length.empty() && !encoding.empty())) return Refuse(400, "conflicting body lengths");
            if (!encoding.empty()) {
                if (encoding != "chunked") return Refuse(400, "unsupported transfer encoding");
                state_ = State::Chunked;
            } else if (!length.empty()) {
                if (length.size() > 19 || length.find_first_not_of("0123456789") != std::string::npos)
                    return Refuse(400, "bad Content-Length");
                bodyLength_ = std::stoull(length);
                if (bodyLength_ > limits_.maxBodyBytes) return Refuse(413, "request body too large");
                if (bodyLength_ == 0) break;
                state_ = State::Length;
            } else {
                break;  // no body
            }
            sendContinue_ = expectContinue && data.size() == bodyStart_;
            continue;
        }
        if (state_ == State::Length) {
            if (data.size() - bodyStart_ < bodyLength_) return Step::kMore;
            break;
        }
        if (state_ == State::Chunked) {
            // Raw chunked bytes are bounded too: tiny chunks cost framing.
            if (scan_ - bodyStart_ > limits_.maxBodyBytes + limits_.maxBodyBytes / 8 + kMaxChunkLine)
                return Refuse(413, "request body too large");
            const size_t eol = data.find('\n', scan_);
            if (eol == std::string::npos) {
                if (data.size() - scan_ > kMaxChunkLine) return Refuse(400, "bad chunk");
                return Step::kMore;
            }
            const std::string line = Trim(data.substr(scan_, eol - scan_));
            const std::string digits = line.substr(0, line.find(';'));
            size_t size = 0;
            if (Trim(digits).empty() || Trim(digits).size() > 15 ||
                Trim(digits).find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return Refuse(400, "bad chunk");
            size = std::stoull(Trim(digits), nullptr, 16);
            if (size > limits_.maxBodyBytes - bodyDecoded_) return Refuse(413, "request body too large");
            if (size == 0) {
                scan_ = eol + 1;
                state_ = State::Trailers;
                headStart_ = scan_;
                headLines_ = 0;
                continue;
            }
            // The chunk's data and its line end must have arrived.
            const size_t end = eol + 1 + size;
            if (data.size() < end + 1) return Step::kMore;
            size_t next = end;
            if (data[next] == '\r') {
                if (data.size() < next + 2) return Step::kMore;
                ++next;
            }
            if (data[next] != '\n') return Refuse(400, "bad chunk");
            bodyDecoded_ += size;
            scan_ = next + 1;
            continue;
        }
        return Step::kMore;
    }
    // The request is whole; bytes after it are not part of it.
    data.resize(state_ == State::Length ? bodyStart_ + bodyLength_ : scan_);
    return Step::kWhole;
}

}  // namespace vnservice
