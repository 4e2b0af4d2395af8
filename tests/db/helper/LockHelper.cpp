// The second copy of the program in the lock file test: holds the data
// folder lock as told on its standard input ("shared", "exclusive",
// "unlock", "quit") and answers each command with one line.

#include "db/DataFolderLock.h"
#include "support/NetworkDisk.h"

#include <QString>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: qor_lock_helper <folder> <local|network>\n");
        return 2;
    }
    NetworkDisk network;
    if (std::strcmp(argv[2], "network") == 0)
        SetDiskInfo(&network);
    DataFolderLock lock(QString::fromLocal8Bit(argv[1]));
    std::string command;
    while (std::getline(std::cin, command)) {
        if (command == "quit")
            break;
        if (command == "unlock") {
            lock.Unlock();
            std::cout << "ok" << std::endl;
            continue;
        }
        const bool ok = lock.Lock(command == "exclusive");
        std::cout << (ok ? "ok" : "refused") << std::endl;
    }
    SetDiskInfo(nullptr);
    return 0;
}
