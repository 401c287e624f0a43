// SPDX-License-Identifier: MIT
// Runs two commands alternately, N times each, and prints the median of the
// per-pair time ratios (second / first) with both median times. Alternating
// run by run keeps a drift in the machine's speed from favouring one side.
// usage: pair N 'reference command' 'measured command'   (words split on blanks)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

double run_seconds(const std::vector<std::string> &words)
{
    std::vector<char *> argv;
    for (const std::string &w : words)
        argv.push_back(const_cast<char *>(w.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 1, 0); // O_WRONLY
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", 1, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror(argv[0]);
        std::exit(1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const auto end = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    return std::chrono::duration<double>(end - start).count();
}

std::vector<std::string> words_of(const char *command)
{
    std::istringstream in(command);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: pair N 'reference command' 'measured command'\n");
        return 2;
    }
    const int n = std::atoi(argv[1]);
    const std::vector<std::string> reference = words_of(argv[2]), measured = words_of(argv[3]);
    for (int i = 0; i < 3; ++i) { // warm-up
        run_seconds(reference);
        run_seconds(measured);
    }
    std::vector<double> a, b, ratio;
    for (int i = 0; i < n; ++i) {
        a.push_back(run_seconds(reference));
        b.push_back(run_seconds(measured));
        ratio.push_back(b.back() / a.back());
    }
    std::printf("%.4f %.3f %.3f\n", median(ratio), median(a) * 1000, median(b) * 1000);
    return 0;
}
