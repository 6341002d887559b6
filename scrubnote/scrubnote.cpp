// scrubnote: copies a text file to the end of another, every line cut at its first ";", so an
// assembly source loses its comments. Bytes pass through untouched apart from the cut; each source
// line, of any length, gives exactly one destination line.
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr int status_failure = -1;             // seen by the shell as 255
constexpr std::size_t read_size = 64 * 1024;   // bytes asked of the source by every read
constexpr std::size_t write_size = 64 * 1024;  // pending output that is written out at once
constexpr std::string_view comment_mark = ";"; // a comment runs from here to the line end

enum class Outcome { copied, read_failed, write_failed };

// Owns one open descriptor and closes it when the scope ends. The destination is closed by hand
// beforehand, so that a failed close can be reported.
struct Descriptor {
  int fd = -1;
  explicit Descriptor(int opened) : fd(opened) {}
  Descriptor(const Descriptor &) = delete;
  Descriptor &operator=(const Descriptor &) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// The part of `src_string` before the first occurrence of `init`, or all of it when `init` does
// not occur.
std::string valid_sub_string(std::string_view src_string, std::string_view init) {
  return std::string(src_string.substr(0, src_string.find(init)));
}

// One read into `buffer`, retried when a signal interrupts it: the byte count, 0 at the end of
// the input, -1 on a read error.
ssize_t read_some(int fd, char *buffer, std::size_t size) {
  for (;;) {
    ssize_t got = ::read(fd, buffer, size);
    if (got >= 0 || errno != EINTR) return got;
  }
}

// Writes all of `pending` and empties it; false when the destination refuses a byte.
bool write_all(int fd, std::string &pending) {
  std::string_view rest = pending;
  while (!rest.empty()) {
    ssize_t put = ::write(fd, rest.data(), rest.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    rest.remove_prefix(static_cast<std::size_t>(put));
  }
  pending.clear();
  return true;
}

// Copies the source to the destination line by line. `buffer` already holds the first `filled`
// bytes of the source, read before the destination was opened.
Outcome copy_lines(int src, int dst, char *buffer, ssize_t filled) {
  // A line that spans reads is gathered here until its end arrives; once its mark is in, the
  // rest of the line would be cut anyway and is not kept.
  std::string line;
  bool line_cut = false;
  std::string pending;
  while (filled > 0) {
    std::string_view chunk(buffer, static_cast<std::size_t>(filled));
    while (!chunk.empty()) {
      std::size_t end = chunk.find('\n');
      if (end == std::string_view::npos) {
        if (!line_cut) {
          std::size_t mark = chunk.find(comment_mark);
          line_cut = mark != std::string_view::npos;
          line.append(chunk.substr(0, line_cut ? mark + comment_mark.size() : chunk.size()));
        }
        break;
      }
      std::string_view whole = chunk.substr(0, end);
      if (!line.empty()) {
        if (!line_cut) line.append(whole);
        whole = line;
      }
      pending += valid_sub_string(whole, comment_mark);
      pending += '\n';
      line.clear();
      line_cut = false;
      chunk.remove_prefix(end + 1);
      if (pending.size() >= write_size && !write_all(dst, pending)) return Outcome::write_failed;
    }
    filled = read_some(src, buffer, read_size);
    if (filled < 0) return Outcome::read_failed;
  }
  // A last line without a line end still gets one.
  if (!line.empty()) {
    pending += valid_sub_string(line, comment_mark);
    pending += '\n';
  }
  return write_all(dst, pending) ? Outcome::copied : Outcome::write_failed;
}

int scrub(const char *src_name, const char *dst_name) {
  Descriptor src(::open(src_name, O_RDONLY | O_CLOEXEC));
  if (src.fd < 0) {
    std::fprintf(stderr, "unable to open %s \n", src_name);
    return status_failure;
  }
  // The first read comes before the destination is touched, so a source that opens but cannot
  // be read (a directory) is refused without creating anything.
  static char buffer[read_size];
  struct stat src_stat {};
  ssize_t filled = read_some(src.fd, buffer, read_size);
  if (filled < 0 || ::fstat(src.fd, &src_stat) != 0) {
    std::fprintf(stderr, "unable to open %s \n", src_name);
    return status_failure;
  }

  Descriptor dst(::open(dst_name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666));
  struct stat dst_stat {};
  if (dst.fd < 0 || ::fstat(dst.fd, &dst_stat) != 0) {
    std::fprintf(stderr, "unable to open %s \n", dst_name);
    return status_failure;
  }
  // Appending a file to itself would read back its own output without end.
  if (src_stat.st_dev == dst_stat.st_dev && src_stat.st_ino == dst_stat.st_ino) {
    std::fprintf(stderr, "source and destination are the same file\n");
    return status_failure;
  }

  Outcome outcome = copy_lines(src.fd, dst.fd, buffer, filled);
  int closed = ::close(dst.fd);
  dst.fd = -1;
  if (outcome == Outcome::read_failed) {
    std::fprintf(stderr, "unable to open %s \n", src_name);
    return status_failure;
  }
  if (outcome == Outcome::write_failed || closed != 0) {
    std::fprintf(stderr, "unable to write %s \n", dst_name);
    return status_failure;
  }
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage : scrubnote  <file_src>   <file_dst>\n");
    return status_failure;
  }
  return scrub(argv[1], argv[2]);
}
