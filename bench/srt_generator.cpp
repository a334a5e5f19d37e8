#include "bench/srt_generator.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kBufferSize = 1 << 20;
constexpr std::size_t kPoolSize = 509;  // prime, so that the pool does not line up with the cue pattern
constexpr std::size_t kShortestText = 30;
constexpr std::size_t kLongestText = 45;
// Start times wrap well before 100 hours, so that repeated re-timing keeps the two-digit hour field.
constexpr std::uint64_t kTimeWrapMs = 90ull * 3600 * 1000;

const std::vector<std::string_view> kEnglish = {
    "the",        "night", "is",    "quiet",  "where", "are",    "you",       "going",    "we",     "have",
    "to",         "leave", "now",   "before", "it",    "gets",   "dark",      "I",        "told",   "him",
    "everything", "don't", "worry", "about",  "me",    "listen", "carefully", "she",      "never",  "came",
    "back",       "home",  "what",  "do",     "want",  "from",   "us",        "tomorrow", "morning"};
const std::vector<std::string_view> kHebrew = {"שלום",   "לילה", "טוב", "אני",  "הולך", "הביתה", "עכשיו", "מה",
                                               "אתה",    "עושה", "כאן", "בוא",  "נלך",  "מחר",   "בבוקר", "שָׁלוֹם",
                                               "בְּרֵאשִׁית", "תּוֹדָה", "אַל",  "תִּדְאַג", "לִי",   "היא",   "לא",    "חזרה"};
const std::vector<std::string_view> kArabic = {"مرحبا", "كيف",   "حالك",  "اليوم", "أنا", "ذاهب", "إلى",
                                               "البيت", "شكرا",  "جزيلا", "مَرْحَبًا", "لا",  "تقلق", "عليّ",
                                               "غدا",   "صباحا", "ماذا",  "تريد",  "منا"};

// A small deterministic generator, so that every run measures the same file.
class Random {
  public:
    std::uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return static_cast<std::uint32_t>(m_state >> 32);
    }
    std::uint32_t Below(std::uint32_t bound) { return Next() % bound; }

  private:
    std::uint64_t m_state = 0x9E3779B97F4A7C15ull;
};

// What a right-to-left line of a real file also holds.
const std::vector<std::string_view> kAside = {"(בלחש)", "[צועק]", "(يهمس)", "[موسيقى]", "OK",  "iPhone",  "Netflix",
                                              "FBI",    "20",     "1999",   "3.5",      "50%", "\"שקט\"", "«لا»"};

std::string MakeTextLine(Random& random, TextMix mix) {
    const std::uint32_t language = mix == TextMix::kRightToLeft ? 5 + random.Below(5) : random.Below(10);
    const auto& words = language < 5 ? kEnglish : language < 8 ? kHebrew : kArabic;
    const bool asides = mix == TextMix::kRightToLeft;
    const std::size_t target = kShortestText + random.Below(kLongestText - kShortestText + 1);
    std::string line = random.Below(4) == 0 ? "- " : "";
    while (line.size() < target) {
        const std::string_view word = asides && random.Below(5) == 0
                                          ? kAside[random.Below(static_cast<std::uint32_t>(kAside.size()))]
                                          : words[random.Below(static_cast<std::uint32_t>(words.size()))];
        const std::size_t separator = line.empty() || line == "- " ? 0 : 1;
        if (line.size() + separator + word.size() + 1 > kLongestText) {  // 1: the closing mark
            if (line.size() >= kShortestText) {
                break;
            }
            continue;
        }
        if (separator != 0) {
            line += ' ';
        }
        line += word;
    }
    line += random.Below(3) == 0 ? "?" : ".";
    return line;
}

char* PutDigits(char* out, std::uint64_t value, int width) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0 || count < width);
    while (count > 0) {
        *out++ = digits[--count];
    }
    return out;
}

char* PutTime(char* out, std::uint64_t ms) {
    out = PutDigits(out, ms / 3600000, 2);
    *out++ = ':';
    out = PutDigits(out, ms / 60000 % 60, 2);
    *out++ = ':';
    out = PutDigits(out, ms / 1000 % 60, 2);
    *out++ = ',';
    return PutDigits(out, ms % 1000, 3);
}

class BufferedFile {
  public:
    explicit BufferedFile(const std::string& path) : m_path(path) {
        m_fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (m_fd < 0) {
            Fail("Cannot create");
        }
        m_buffer.reserve(kBufferSize);
    }
    ~BufferedFile() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    void Append(std::string_view bytes) {
        if (m_buffer.size() + bytes.size() > kBufferSize) {
            Drain();
        }
        m_buffer.append(bytes);
        m_written += bytes.size();
    }
    void Finish() {
        Drain();
        if (fsync(m_fd) != 0) {
            Fail("Cannot flush");
        }
        const int fd = m_fd;
        m_fd = -1;
        if (close(fd) != 0) {
            Fail("Cannot close");
        }
    }
    std::uint64_t written() const { return m_written; }

  private:
    void Drain() {
        const char* data = m_buffer.data();
        std::size_t size = m_buffer.size();
        while (size > 0) {
            const ssize_t n = write(m_fd, data, size);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                Fail("Cannot write");
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        m_buffer.clear();
    }
    [[noreturn]] void Fail(const char* verb) const {
        throw std::runtime_error(std::string(verb) + " " + m_path + ": " + std::strerror(errno));
    }

    std::string m_path;
    int m_fd = -1;
    std::string m_buffer;
    std::uint64_t m_written = 0;
};

}  // namespace

GeneratedFile GenerateSrt(const std::string& path, std::uint64_t target_bytes, TextMix mix) {
    Random random;
    std::vector<std::string> pool;
    for (std::size_t i = 0; i < kPoolSize; ++i) {
        pool.push_back(MakeTextLine(random, mix) + "\r\n");
    }
    BufferedFile file(path);
    GeneratedFile generated;
    while (file.written() < target_bytes) {
        const std::uint64_t cue = ++generated.cues;
        char head[64];
        char* out = PutDigits(head, cue, 1);
        *out++ = '\r';
        *out++ = '\n';
        const std::uint64_t start = cue * 2750 % kTimeWrapMs;
        out = PutTime(out, start);
        std::memcpy(out, " --> ", 5);
        out = PutTime(out + 5, start + 1000 + random.Below(2000));
        *out++ = '\r';
        *out++ = '\n';
        file.Append(std::string_view(head, static_cast<std::size_t>(out - head)));
        const std::uint32_t lines = 1 + random.Below(2);
        for (std::uint32_t i = 0; i < lines; ++i) {
            file.Append(pool[random.Below(kPoolSize)]);
        }
        file.Append("\r\n");
    }
    file.Finish();
    generated.bytes = file.written();
    return generated;
}
