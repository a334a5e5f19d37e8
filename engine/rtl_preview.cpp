#include "engine/rtl_preview.h"

Status PreviewRtlFix(const SyncSettings& settings,
                     std::string_view text,
                     const std::string& name,
                     std::size_t count,
                     std::vector<RtlPreviewLine>* lines) {
    // Placeholder until the fix lands: shows the first lines unchanged.
    (void)settings;
    (void)name;
    lines->clear();
    std::size_t start = 0;
    while (start < text.size() && lines->size() < count) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        const std::string line(text.substr(start, end - start));
        if (line.find("\xD7") != std::string::npos || line.find("\xD8") != std::string::npos) {
            lines->push_back({line, line});
        }
        start = end + 1;
    }
    return Status::OK();
}
