// Test support: runs a built program in a scratch directory and collects what it produced.
#ifndef TESTS_RUN_PROGRAM_H
#define TESTS_RUN_PROGRAM_H

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace test_support {

namespace fs = std::filesystem;

struct Outcome {
  int status = -1; // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
  std::string object; // the object file, when the caller names one
};

inline std::string read_file(const fs::path &path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

// Runs `program` with `args` in `dir`, standard input empty; the outputs go to files in `dir`.
inline Outcome run_program(const std::string &program, const fs::path &dir,
                           const std::vector<std::string> &args) {
  const fs::path out_path = dir / ".stdout";
  const fs::path err_path = dir / ".stderr";
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char *> argv;
  for (std::string &word : words)
    argv.push_back(word.data());
  argv.push_back(nullptr);

  Outcome outcome;
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || chdir(dir.c_str()) != 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
    outcome.status = WEXITSTATUS(wstatus);
  outcome.out = read_file(out_path);
  outcome.err = read_file(err_path);
  return outcome;
}

} // namespace test_support

#endif
