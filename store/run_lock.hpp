#pragma once
// Serialises the runs that load the same table of the same QuestDB.
//
// Zabbix may start a run while the previous one is still loading; two runs that truncate
// and fill one table at the same time leave it with duplicated or missing rows. The lock is
// a Unix socket bound to a name in Linux's abstract namespace, derived from the QuestDB
// address and the table: bind succeeds for one socket at a time, and the kernel frees the
// name the moment the holder's descriptor is closed, however its process ends (_exit,
// SIGKILL, a crash). Nothing is left behind in the file system, and there is no stale lock
// to clean up. The descriptor is close-on-exec, so a launched run never inherits it.
//
// Two spellings of one address ("localhost" and "127.0.0.1") give two names: the runs the
// lock protects are those Zabbix starts with one and the same configured address.

#include <optional>
#include <string>
#include <string_view>

#include "process/descriptor.hpp"

namespace tessim {

// The abstract socket name (without its leading NUL byte) for a QuestDB address and table.
// Fits the 107 bytes the name may have: a long address is replaced by a hash of itself.
std::string run_lock_name(std::string_view quest_db_ip, std::string_view table);

class RunLock {
  public:
    // Waits, retrying every 50 ms, until the name is free and taken. The wait has no bound
    // of its own: the run-time limiter ends a run that waits too long. Throws SystemFailure
    // when no socket can be made or bind fails for another reason.
    static RunLock acquire(const std::string& name);
    // One attempt: nullopt when another socket holds the name.
    static std::optional<RunLock> try_acquire(const std::string& name);

  private:
    explicit RunLock(int fd) : socket_(fd) {}
    tavmolibrary::process_library::Descriptor socket_;
};

}  // namespace tessim
