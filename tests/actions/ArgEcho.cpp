// Test helper started by the launch tests: writes its working folder, whether it leads its
// own session, its open descriptors and its arguments, one per line, to the file named by
// ARGECHO_OUT. Written to a temporary name and renamed, so a reader never sees half a file.
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <string>
#include <unistd.h>

int main(int argc, char **argv) {
  const char *out = std::getenv("ARGECHO_OUT");
  if (!out)
    return 1;
  std::string temp = std::string(out) + ".part";
  // The descriptors are listed before the report file is opened, so it is not among them.
  std::string fds;
  if (DIR *dir = opendir("/proc/self/fd")) {
    int own = dirfd(dir);
    while (dirent *entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != ".." && std::stoi(name) != own)
        fds += name + ",";
    }
    closedir(dir);
  }
  {
    std::ofstream file(temp);
    char cwd[4096] = {};
    file << "cwd=" << (getcwd(cwd, sizeof cwd) ? cwd : "") << "\n";
    file << "session=" << (getsid(0) == getpid() ? "own" : "shared") << "\n";
    file << "fds=" << fds << "\n";
    for (int i = 1; i < argc; ++i)
      file << "arg=" << argv[i] << "\n";
  }
  return std::rename(temp.c_str(), out) == 0 ? 0 : 1;
}
