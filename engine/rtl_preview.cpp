#include "engine/rtl_preview.h"

#include <deque>

#include "engine/bidi.h"
#include "engine/rewrite_line.h"
#include "engine/run_names.h"
#include "engine/utf8.h"
#include "platform/text_mode.h"

namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// `line` as UTF-8: itself when it is, else decoded in `code_page` (bytes it leaves undefined as U+FFFD: this is only
// shown, never written).
std::string AsUtf8(std::string_view line, CodePage code_page) {
    if (IsValidUtf8(reinterpret_cast<const unsigned char*>(line.data()), line.size())) {
        return std::string(line);
    }
    std::string utf8;
    for (const char byte : line) {
        char32_t code_point = DecodeByte(code_page == CodePage::kDetect ? CodePage::kWindows1252 : code_page,
                                         static_cast<unsigned char>(byte));
        code_point = code_point == 0 && byte != 0 ? 0xFFFD : code_point;
        char encoded[4];
        utf8.append(encoded, EncodeUtf8(code_point, encoded));
    }
    return utf8;
}

bool HoldsRightToLeftLetter(const std::string& utf8) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t code_point = bytes[i];
        i += bytes[i] < 0x80 ? 1 : DecodeValidUtf8(bytes + i, &code_point);
        if (IsRightToLeftLetter(code_point)) {
            return true;
        }
    }
    return false;
}

}  // namespace

Status PreviewRtlFix(const SyncSettings& settings,
                     std::string_view text,
                     const std::string& name,
                     std::size_t count,
                     std::vector<RtlPreviewLine>* lines) {
    lines->clear();
    if (text.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark) {
        text.remove_prefix(kUtf8ByteOrderMark.size());
    }
    LineRewriter rewriter(settings, IsWebVttName(name) ? SubtitleFormat::kWebVtt : SubtitleFormat::kSubRip);
    const Status status = rewriter.Decide(text, name);
    if (!status.ok()) {
        return status;
    }
    const std::string decoded = DecodeText(text);
    std::deque<std::string> waiting;  // lines given to the rewriter whose replacement has not come out yet
    const auto take = [&](std::size_t ready) {
        for (std::size_t i = 0; i < ready && !waiting.empty(); ++i) {
            const std::string before = AsUtf8(waiting.front(), rewriter.DecidedCodePage());
            if (HoldsRightToLeftLetter(before) && lines->size() < count) {
                lines->push_back({before, AsUtf8(rewriter.Line(i), rewriter.DecidedCodePage())});
            }
            waiting.pop_front();
        }
    };
    std::string_view rest = decoded;
    while (!rest.empty() && lines->size() < count && !rewriter.Failed()) {
        const std::size_t end = std::min(rest.find('\n'), rest.size());
        waiting.emplace_back(rest.substr(0, end));
        take(rewriter.Feed(waiting.back()));
        rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    take(rewriter.Finish());
    if (rewriter.Failed()) {
        return Status::Error(Status::Code::kUnsupported, rewriter.Failure());
    }
    if (lines->empty() && settings.m_rtlFix != RtlFixMode::kOff && settings.m_bToUtf8 == 0) {
        return Status::Error(Status::Code::kUnsupported,
                             "No line of " + name + " holds a right-to-left letter, so it would be left as it is");
    }
    return Status::OK();
}
