// Writes the benchmark's data, the same bytes for the same seed on every
// machine: the generator is our own so that no library's distribution can
// change the figures.
//
//   make-data distribution DIR SEED WEB_FILES WEB_BYTES [VERSION]
//       DIR/htdocs (WEB_FILES files in nested folders, about WEB_BYTES in all)
//       and DIR/*.jar (50), *.dll (5), *.war (5); a VERSION above 1 has the
//       same names and sizes as version 1 and other bytes in every file
//   make-data conf FILE SEED LINES
//       an httpd.conf of LINES CR LF lines, about 100 bytes each; a few
//       percent begin with "Include" or "#configured"
//   make-data forget DIR
//       drops the cached pages of every file below DIR (synced before)
//   make-data release DIR
//       unlinks every file below DIR that has another link and drops the
//       cached pages of the others, which only DIR keeps from being deleted

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;

// splitmix64: tiny, fast and fully specified.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }

  private:
    std::uint64_t state_;
};

[[noreturn]] void fail(const std::string &what) {
    std::fprintf(stderr, "make-data: %s\n", what.c_str());
    std::exit(1);
}

// Bytes to cut file contents from: printable, so that no tool sees binary.
std::vector<char> make_pool(Random &random, std::size_t size) {
    static constexpr std::string_view alphabet =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 <>/=\"\n";
    std::vector<char> pool(size);
    for (char &c : pool) {
        c = alphabet[random.below(alphabet.size())];
    }
    return pool;
}

void write_file(const fs::path &path, std::uint64_t size, const std::vector<char> &pool,
                Random &random) {
    std::FILE *out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
        fail("cannot write " + path.string());
    }
    std::size_t offset = random.below(pool.size());
    while (size > 0) {
        const std::size_t piece = std::min<std::uint64_t>(size, pool.size() - offset);
        std::fwrite(pool.data() + offset, 1, piece, out);
        size -= piece;
        offset = 0;
    }
    if (std::fclose(out) != 0) {
        fail("cannot write " + path.string());
    }
}

// Sizes between lo and hi, spread over the orders of magnitude (log-uniform).
std::vector<std::uint64_t> draw_sizes(std::uint64_t seed, std::size_t count, double lo, double hi) {
    Random random(seed);
    std::vector<std::uint64_t> sizes(count);
    const double span = std::log(hi) - std::log(lo);
    for (auto &size : sizes) {
        size = static_cast<std::uint64_t>(std::exp(std::log(lo) + span * random.unit()));
    }
    return sizes;
}

std::uint64_t total(const std::vector<std::uint64_t> &sizes) {
    std::uint64_t sum = 0;
    for (auto size : sizes) {
        sum += size;
    }
    return sum;
}

// Web files are log-normal around a median of a few kilobytes, cut to a few
// bytes at least and 4 MB at most; the median is chosen, by bisection, so
// that the sizes add up to about `wanted`.
std::vector<std::uint64_t> log_normal_sizes(std::uint64_t seed, std::size_t count, double median) {
    constexpr double spread = 1.8;
    constexpr double smallest = 4;
    constexpr double largest = 4 << 20;
    Random random(seed);
    std::vector<std::uint64_t> sizes(count);
    for (auto &size : sizes) {
        const double u = 1 - random.unit();
        const double v = random.unit();
        const double normal = std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * v);
        size = static_cast<std::uint64_t>(
            std::clamp(median * std::exp(spread * normal), smallest, largest));
    }
    return sizes;
}

std::vector<std::uint64_t> web_file_sizes(std::uint64_t seed, std::size_t count,
                                          std::uint64_t wanted) {
    double low = 1;
    double high = 4 << 20;
    for (int step = 0; step < 60; ++step) {
        const double median = std::sqrt(low * high);
        (total(log_normal_sizes(seed, count, median)) > wanted ? high : low) = median;
    }
    return log_normal_sizes(seed, count, std::sqrt(low * high));
}

struct Folder {
    fs::path path;
    int depth;
};

std::vector<Folder> make_folders(const fs::path &root, std::size_t count, Random &random) {
    std::vector<Folder> folders{{root, 0}};
    fs::create_directories(root);
    while (folders.size() < count) {
        const Folder &parent = folders[random.below(folders.size())];
        if (parent.depth >= 6) {
            continue;
        }
        Folder folder{parent.path / ("dir" + std::to_string(folders.size())), parent.depth + 1};
        fs::create_directory(folder.path);
        folders.push_back(std::move(folder));
    }
    return folders;
}

void make_archives(const fs::path &dir, std::string_view extension, int count, double lo, double hi,
                   const std::vector<char> &pool, Random &random) {
    const auto sizes = draw_sizes(random.next(), count, lo, hi);
    for (int i = 0; i < count; ++i) {
        const fs::path path = dir / ("lib" + std::to_string(i) + std::string(extension));
        write_file(path, sizes[i], pool, random);
    }
}

// A later version draws its pool apart and every other number as version 1
// does: the same names and sizes, other bytes from the first one on.
std::vector<char> make_version_pool(Random &random, std::uint64_t seed, std::uint64_t version) {
    auto pool = make_pool(random, std::size_t{1} << 20);
    if (version > 1) {
        Random apart(seed ^ (version * 0x9e3779b97f4a7c15ULL));
        pool = make_pool(apart, pool.size());
    }
    return pool;
}

void make_distribution(const fs::path &dir, std::uint64_t seed, std::size_t files,
                       std::uint64_t bytes, std::uint64_t version) {
    static constexpr std::string_view extensions[] = {".html", ".css", ".js",  ".gif",
                                                      ".jpg",  ".png", ".jsp", ".txt"};
    Random random(seed);
    const auto pool = make_version_pool(random, seed, version);
    const auto folders = make_folders(dir / "htdocs", std::max<std::size_t>(1, files / 50), random);
    const auto sizes = web_file_sizes(random.next(), files, bytes);
    for (std::size_t i = 0; i < files; ++i) {
        const Folder &folder = folders[random.below(folders.size())];
        const auto &extension = extensions[random.below(std::size(extensions))];
        write_file(folder.path / ("file" + std::to_string(i) + std::string(extension)), sizes[i],
                   pool, random);
    }
    make_archives(dir, ".jar", 50, 16 << 10, 4 << 20, pool, random);
    make_archives(dir, ".dll", 5, 32 << 10, 1 << 20, pool, random);
    make_archives(dir, ".war", 5, 512 << 10, 8 << 20, pool, random);
    std::printf("%zu web files, %llu bytes\n", files,
                static_cast<unsigned long long>(total(sizes)));
}

void append_words(std::string &line, Random &random, std::size_t length) {
    static constexpr std::string_view words[] = {"ServerName",
                                                 "Listen",
                                                 "LoadModule",
                                                 "Directory",
                                                 "Options",
                                                 "AllowOverride",
                                                 "Require",
                                                 "granted",
                                                 "modules/",
                                                 "htdocs",
                                                 "\"C:/Program Files/Apache\"",
                                                 "None",
                                                 "all",
                                                 "Indexes",
                                                 "FollowSymLinks",
                                                 "AddType",
                                                 "text/html"};
    while (line.size() < length) {
        line += words[random.below(std::size(words))];
        line += ' ';
    }
    line.resize(length);
}

// Mostly directives and comments; two percent Include lines and one percent
// lines of an earlier run's marker, which the rewrite removes.
void make_conf(const fs::path &file, std::uint64_t seed, std::uint64_t lines) {
    Random random(seed);
    std::FILE *out = std::fopen(file.c_str(), "wb");
    if (out == nullptr) {
        fail("cannot write " + file.string());
    }
    std::string chunk;
    std::string line;
    for (std::uint64_t n = 0; n < lines; ++n) {
        const std::size_t kind = random.below(100);
        const std::size_t length = 2 + random.below(195);
        line.clear();
        if (kind < 2) {
            line = "Include conf/extra/part" + std::to_string(n) + ".conf ";
        } else if (kind < 3) {
            line = "#configured by an earlier run ";
        } else if (kind < 20) {
            line = "# ";
        } else if (kind < 60) {
            line = "    ";
        }
        append_words(line, random, std::max(length, line.size()));
        chunk += line;
        chunk += "\r\n";
        if (chunk.size() >= (std::size_t{4} << 20)) {
            std::fwrite(chunk.data(), 1, chunk.size(), out);
            chunk.clear();
        }
    }
    std::fwrite(chunk.data(), 1, chunk.size(), out);
    if (std::fclose(out) != 0) {
        fail("cannot write " + file.string());
    }
}

// Copies put aside keep their pages in the cache, and every run would take
// fresh memory, which a virtual machine may hand out slowly on first touch.
void forget(const fs::path &dir) {
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

// A snapshot of hard links keeps the files a run replaces from being deleted
// (see forget's caller); once the run is over, the links to files still in
// place go, which deletes nothing, and the replaced files stay, out of the
// cache.
void release(const fs::path &dir) {
    for (const auto &entry : fs::recursive_directory_iterator(dir)) {
        struct stat status {};
        if (::lstat(entry.path().c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
            continue;
        }
        if (status.st_nlink > 1) {
            fs::remove(entry.path());
            continue;
        }
        const int fd = ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
            ::close(fd);
        }
    }
}

std::uint64_t number(const char *text) {
    char *end = nullptr;
    const auto value = std::strtoull(text, &end, 10);
    if (end == text || *end != '\0') {
        fail(std::string("not a number: ") + text);
    }
    return value;
}

} // namespace

int main(int argc, char **argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if ((args.size() == 5 || args.size() == 6) && args[0] == "distribution") {
        const std::uint64_t version = args.size() == 6 ? number(argv[6]) : 1;
        make_distribution(argv[2], number(argv[3]), number(argv[4]), number(argv[5]), version);
    } else if (args.size() == 4 && args[0] == "conf") {
        make_conf(argv[2], number(argv[3]), number(argv[4]));
    } else if (args.size() == 2 && args[0] == "forget") {
        forget(argv[2]);
    } else if (args.size() == 2 && args[0] == "release") {
        release(argv[2]);
    } else {
        fail("usage: make-data distribution DIR SEED WEB_FILES WEB_BYTES [VERSION]"
             " | conf FILE SEED LINES | forget DIR | release DIR");
    }
    return 0;
}
