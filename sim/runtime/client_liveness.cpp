#include "client_liveness.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <set>
#include <vector>

namespace orvy::sim {
namespace {

// Our end of one client connection: the descriptor and the socket's inode,
// which tells a reused descriptor number from the original.
struct Connection {
    int fd = -1;
    ino_t inode = 0;
};

std::mutex registry_mutex;
std::map<UMockdevIoctlClient *, Connection> connection_of;
// Clients found hung up keep one reference here: umockdev never closes
// their connection, and it complains when such a client is destroyed.
std::set<UMockdevIoctlClient *> kept_dead;
std::map<ino_t, UMockdevIoctlClient *> client_of_inode;  // every socket seen, also unmatched

bool is_listening(int fd)
{
    int listening = 0;
    socklen_t size = sizeof listening;
    return getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening;
}

// Our ends of the connections accepted on `socket_path`.
std::vector<Connection> sockets_on(const std::string &socket_path)
{
    std::vector<Connection> found;
    DIR *dir = opendir("/proc/self/fd");
    if (!dir) return found;
    while (const dirent *entry = readdir(dir)) {
        const int fd = std::atoi(entry->d_name);
        struct stat status {};
        if (entry->d_name[0] == '.' || fd == dirfd(dir) || fstat(fd, &status) != 0 ||
            !S_ISSOCK(status.st_mode)) {
            continue;
        }
        sockaddr_un address{};
        socklen_t length = sizeof address;
        if (getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
            address.sun_family != AF_UNIX || length <= offsetof(sockaddr_un, sun_path)) {
            continue;
        }
        if (socket_path == address.sun_path && !is_listening(fd)) {
            found.push_back({fd, status.st_ino});
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

void note_client_connection(UMockdevIoctlClient *client, const std::string &socket_path)
{
    const std::vector<Connection> sockets = sockets_on(socket_path);
    std::lock_guard lock(registry_mutex);
    // Sockets closed since the last connection go; of the rest, the one not
    // seen before is the new client's (connections are accepted one at a time).
    std::map<ino_t, UMockdevIoctlClient *> still_open;
    std::vector<Connection> fresh;
    for (const Connection &socket : sockets) {
        if (auto known = client_of_inode.find(socket.inode); known != client_of_inode.end()) {
            still_open.insert(*known);
        } else {
            fresh.push_back(socket);
        }
    }
    for (auto it = connection_of.begin(); it != connection_of.end();) {
        it = still_open.count(it->second.inode) ? std::next(it) : connection_of.erase(it);
    }
    client_of_inode = std::move(still_open);
    for (const Connection &socket : fresh) client_of_inode[socket.inode] = nullptr;
    // Two strangers would be a connection that nobody announced: leave both
    // to umockdev's own judgement rather than guess.
    if (fresh.size() == 1) {
        client_of_inode[fresh.front().inode] = client;
        connection_of[client] = fresh.front();
    }
}

bool client_hung_up(UMockdevIoctlClient *client)
{
    std::lock_guard lock(registry_mutex);
    const auto known = connection_of.find(client);
    if (known == connection_of.end()) return false;
    struct stat status {};
    if (fstat(known->second.fd, &status) != 0 || status.st_ino != known->second.inode) return true;
    pollfd poll_fd{known->second.fd, POLLRDHUP, 0};
    const bool hung_up =
        ::poll(&poll_fd, 1, 0) == 1 && (poll_fd.revents & (POLLHUP | POLLRDHUP | POLLERR));
    if (hung_up && kept_dead.insert(client).second) g_object_ref(client);
    return hung_up;
}

}  // namespace orvy::sim
