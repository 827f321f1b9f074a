// Drive C: on drive_c/ of the machine folder: the path parser, the
// case-insensitive lookup, WOW64 redirection, attributes in mode bits.
#include "core/filesystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/io_uring.h>
#include <poll.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "core/machine.h"
#include "core/windows_path.h"

namespace winsim {

namespace {

// The directory state of the running process: its current directory and
// whether a 32-bit program switched WOW64 redirection off. It belongs to one
// process of one machine; a fresh open of a machine starts it anew, while a
// reload after a child process (same pid) keeps it.
struct DirectoryState {
  std::string machineDir;
  unsigned pid = 0;
  bool valid = false;
  std::string cwd;
  bool redirectionEnabled = true;
};

DirectoryState& DirState() {
  static DirectoryState s;
  return s;
}

// The directory state ends with the process.
ProcessState g_directoryState(20, [] { DirState().valid = false; });

// drive_c of the open machine, formed once for each machine.
const std::string& DriveRoot() {
  static std::string dir, root;
  const Machine& m = Machine::Current();
  if (m.dir() != dir || root.empty()) {
    dir = m.dir();
    root = m.PathOf("drive_c");
  }
  return root;
}

bool IsDirectoryHost(const std::string& host) {
  struct stat st;
  return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The host modes of names read in a kept folder, by name as the host spells
// it (see FolderWatch::Entries).
using EntryModes = std::unordered_map<std::string, mode_t>;

// Keeps what lstat gave for a name: the mode of a folder or of a file with
// no other name (a change through another name would be reported in that
// name's folder). A link is read through each time, as its target may change.
void NoteEntry(EntryModes* modes, const std::string& name, const struct stat& st) {
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && st.st_nlink == 1)) (*modes)[name] = st.st_mode;
}

// The entry of `dir` named `name` without regard to case; an exact match
// wins over a case-insensitive one when the host holds both.
// `listed` says whether the folder's listing was read; `exact` gets what
// lstat gave when the name matched as it stands.
// `dirFd`, when not -1, is `dir` held open: the name is looked up in it alone.
// `modes`, when not null, holds what the folder's entries read so far gave
// (see FolderWatch::Entries): a name found there needs no lstat.
bool FindEntry(const std::string& dir, const std::string& name, std::string* actual, bool* listed = nullptr,
               struct stat* exact = nullptr, int dirFd = -1, EntryModes* modes = nullptr) {
  // The name as it stands is the exact match, found without reading the
  // whole folder: a walk that names each entry as the folder spelled it
  // stays linear in the number of entries.
  struct stat st;
  struct stat* into = exact ? exact : &st;
  if (modes) {
    auto it = modes->find(name);
    if (it != modes->end()) {
      into->st_mode = it->second;
      *actual = name;
      return true;
    }
  }
  auto statName = [&] {
    if (dirFd >= 0) return fstatat(dirFd, name.c_str(), into, AT_SYMLINK_NOFOLLOW);
    return lstat((dir + "/" + name).c_str(), into);
  };
  if (!IsDots(name) && statName() == 0) {
    if (modes) NoteEntry(modes, name, *into);
    *actual = name;
    return true;
  }
  if (listed) *listed = true;
  DIR* d = nullptr;
  if (dirFd < 0) {
    d = opendir(dir.c_str());
  } else if (int fd = openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
    d = fdopendir(fd);
    if (!d) close(fd);
  }
  if (!d) return false;
  std::string best;
  bool found = false;
  while (struct dirent* e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    if (strcmp(e->d_name, name.c_str()) == 0) {
      best = e->d_name;
      found = true;
      break;
    }
    if (EqualNoCase(e->d_name, name) && (!found || FileSystem::NameLess(e->d_name, best))) {
      best = e->d_name;
      found = true;
    }
  }
  closedir(d);
  if (found) *actual = best;
  return found;
}

// The host folder of the first `n` names of a path that the host spells
// otherwise somewhere (C:\WINDOWS\system32\spool\DRIVERS on .../drivers):
// a walk over many files in one folder would read the same listings for
// every file. An answer is kept while the folder is there and every folder
// whose listing the look-up read is unchanged on the host, as a name added,
// removed or renamed in it changes that listing. False, and nothing kept,
// when a name is missing.
//
// Where the host has inotify, a kept answer is watched rather than looked
// at again: every folder from drive_c down to the kept one for its own move
// or deletion, and every folder whose listing was read also for names
// created, deleted or moved in it. Any such event, by this process or
// another, is in the queue before the call that caused it returns; a queue
// found empty (QueueBell: without a system call) stands for a stat of every
// folder. Any event drops every kept answer. A watched answer holds its
// folder open (`folder`), and names in it are looked up relative to it: a
// folder moved, deleted or put in the place of one on the way has dropped it
// before it is used again, so it never stands for another folder. Without
// inotify (the host's instances used up, a link on the way), an answer is
// checked with stat each time: the folder is still a folder and the folders
// listed keep their device, inode, modification and change times; names are
// then looked up along the whole host path.
struct FolderLookup {
  struct Listed {
    std::string dir;
    struct stat st;
  };
  std::string host;
  std::vector<Listed> listed;
  bool watched = false;
  std::shared_ptr<const HostFolder> folder;
  int wd = -1;  // the watch of the folder itself, when watched
};

bool Unchanged(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
         a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

std::unordered_map<std::string, FolderLookup>& FolderCache() {
  static std::unordered_map<std::string, FolderLookup> cache;
  return cache;
}

void DropKeptFolders();

// The kept answers, and the folders they hold open, go with the machine.
class KeptFolders : public Subsystem {
 public:
  KeptFolders() : Subsystem(25) {}
  void Load(Machine&) override {}
  void Save(Machine&) override {}
  void Unload() override { DropKeptFolders(); }
};
KeptFolders g_keptFolders;

// Whether the queue has events, answered without a system call: an
// io_uring poll of the queue, whose completion the kernel writes into memory
// shared with this process before the call that caused the event returns to
// it (the poll's completion runs as task work of this process, which runs on
// its next return from the kernel, before any further instruction of it).
// The poll stays armed (multishot): each event queued completes it once
// more, also while earlier ones are still unread. Armed again when the
// kernel ends it (its last completion says so; a full completion ring ends
// it too). Not `ready` where the host refuses io_uring: each check then
// reads the queue.
class QueueBell {
 public:
  bool Open(int queue) {
    io_uring_params p;
    memset(&p, 0, sizeof p);
    p.flags = IORING_SETUP_CQSIZE;
    p.cq_entries = 64;
    m_ring = (int)syscall(__NR_io_uring_setup, 2, &p);
    if (m_ring < 0) return false;
    m_queue = queue;
    m_sqSize = p.sq_off.array + p.sq_entries * sizeof(unsigned);
    m_cqSize = p.cq_off.cqes + p.cq_entries * sizeof(io_uring_cqe);
    if (p.features & IORING_FEAT_SINGLE_MMAP) m_sqSize = m_cqSize = std::max(m_sqSize, m_cqSize);
    m_sq = mmap(nullptr, m_sqSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_ring, IORING_OFF_SQ_RING);
    m_cq = (p.features & IORING_FEAT_SINGLE_MMAP)
               ? m_sq
               : mmap(nullptr, m_cqSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_ring, IORING_OFF_CQ_RING);
    m_sqesSize = p.sq_entries * sizeof(io_uring_sqe);
    m_sqes = mmap(nullptr, m_sqesSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_POPULATE, m_ring, IORING_OFF_SQES);
    if (m_sq == MAP_FAILED || m_cq == MAP_FAILED || m_sqes == MAP_FAILED) {
      Close();
      return false;
    }
    char* sq = (char*)m_sq;
    char* cq = (char*)m_cq;
    m_sqTail = (unsigned*)(sq + p.sq_off.tail);
    m_sqMask = (unsigned*)(sq + p.sq_off.ring_mask);
    m_sqArray = (unsigned*)(sq + p.sq_off.array);
    m_sqFlags = (unsigned*)(sq + p.sq_off.flags);
    m_cqHead = (unsigned*)(cq + p.cq_off.head);
    m_cqTail = (unsigned*)(cq + p.cq_off.tail);
    m_cqMask = (unsigned*)(cq + p.cq_off.ring_mask);
    m_cqes = (io_uring_cqe*)(cq + p.cq_off.cqes);
    if (!Arm()) {
      Close();
      return false;
    }
    return true;
  }

  bool ready() const { return m_ring >= 0; }

  bool armed() const { return m_armed; }

  // How many times the poll completed since the last call; the completions
  // are taken. A completion that ends the poll, or one the full ring held
  // back, leaves it to be armed again (after the caller emptied the queue).
  unsigned Rang() {
    unsigned n = 0;
    if (__atomic_load_n(m_sqFlags, __ATOMIC_ACQUIRE) & IORING_SQ_CQ_OVERFLOW) {
      syscall(__NR_io_uring_enter, m_ring, 0, 0, IORING_ENTER_GETEVENTS, nullptr, 0);
      m_armed = false;
      n = 2;  // more than one: never taken for a single event
    }
    unsigned head = *m_cqHead;
    unsigned tail = __atomic_load_n(m_cqTail, __ATOMIC_ACQUIRE);
    for (; head != tail; ++head, ++n) {
      const io_uring_cqe& cqe = m_cqes[head & *m_cqMask];
      if (!(cqe.flags & IORING_CQE_F_MORE)) m_armed = false;
      if (cqe.res < 0) m_failed = true;
    }
    __atomic_store_n(m_cqHead, tail, __ATOMIC_RELEASE);
    return n;
  }

  // Arms the poll when it is not; false when it cannot be.
  bool Arm() {
    if (m_armed) return true;
    if (m_failed) return false;
    unsigned tail = *m_sqTail;
    unsigned index = tail & *m_sqMask;
    io_uring_sqe* sqe = (io_uring_sqe*)m_sqes + index;
    memset(sqe, 0, sizeof *sqe);
    sqe->opcode = IORING_OP_POLL_ADD;
    sqe->fd = m_queue;
    sqe->poll32_events = POLLIN;
    sqe->len = IORING_POLL_ADD_MULTI;
    m_sqArray[index] = index;
    __atomic_store_n(m_sqTail, tail + 1, __ATOMIC_RELEASE);
    m_armed = syscall(__NR_io_uring_enter, m_ring, 1, 0, 0, nullptr, 0) == 1;
    return m_armed;
  }

  void Close() {
    if (m_sqes && m_sqes != MAP_FAILED) munmap(m_sqes, m_sqesSize);
    if (m_cq && m_cq != MAP_FAILED && m_cq != m_sq) munmap(m_cq, m_cqSize);
    if (m_sq && m_sq != MAP_FAILED) munmap(m_sq, m_sqSize);
    if (m_ring >= 0) close(m_ring);
    *this = QueueBell();
  }

 private:
  int m_ring = -1;
  int m_queue = -1;
  void* m_sq = nullptr;
  void* m_cq = nullptr;
  void* m_sqes = nullptr;
  size_t m_sqSize = 0, m_cqSize = 0, m_sqesSize = 0;
  unsigned* m_sqTail = nullptr;
  unsigned* m_sqMask = nullptr;
  unsigned* m_sqArray = nullptr;
  unsigned* m_sqFlags = nullptr;
  unsigned* m_cqHead = nullptr;
  unsigned* m_cqTail = nullptr;
  unsigned* m_cqMask = nullptr;
  io_uring_cqe* m_cqes = nullptr;
  bool m_armed = false;
  bool m_failed = false;  // the kernel refused the poll
};

// The inotify instance of the kept answers; -1 before the first or when the
// host gives none (then `unavailable`).
struct FolderWatch {
  int fd = -1;
  bool unavailable = false;
  QueueBell bell;
  // The watches of folders whose listing a kept answer read: every name
  // made or removed in them counts.
  std::unordered_set<int> listed;
  // The entries read in each watched kept folder, by the folder's watch. The
  // folder is also watched for names made, removed, renamed or given other
  // attributes in it, and each such event drops its name: a walk that
  // looks a name up several times (its search, the attribute query and
  // change, the deletion) reads it from the host once. Events of this
  // process's own changes drop the name as well.
  struct Entries {
    uint64_t dev = 0;
    uint64_t ino = 0;
    EntryModes modes;
  };
  std::unordered_map<int, Entries> entries;
  // Events of this process's own deletions left in the queue (see
  // FileSystem::Deleted), and whether the queue must be read at the next
  // check although the poll did not complete since.
  unsigned unread = 0;
  bool mustRead = false;
};

FolderWatch& Watch() {
  static FolderWatch w;
  return w;
}

void DropKeptFolders() {
  FolderCache().clear();
  Watch().entries.clear();
}

// A forked child shares the parent's queue and ring, whose events either
// may take: it starts without kept answers or a queue of its own.
void ForgetFoldersInChild() {
  FolderWatch& w = Watch();
  w.bell.Close();
  if (w.fd >= 0) close(w.fd);
  w.fd = -1;
  w.listed.clear();
  w.unread = 0;
  w.mustRead = false;
  DropKeptFolders();
}

int WatchFd() {
  FolderWatch& w = Watch();
  if (w.fd < 0 && !w.unavailable) {
    w.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (w.fd < 0) {
      w.unavailable = true;
    } else {
      static bool registered = pthread_atfork(nullptr, nullptr, ForgetFoldersInChild) == 0;
      (void)registered;
      w.bell.Open(w.fd);
    }
  }
  return w.fd;
}

const uint32_t kEntryEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;

// Takes one event: false when it changes a kept answer. A file removed from
// or moved into a folder on the way changes none (its folders are still
// there), nor does a name made or renamed in a folder no answer listed, nor
// a name given other attributes anywhere; such an event only drops the
// name's entry.
bool TakeEvent(FolderWatch& w, const struct inotify_event& e) {
  if (e.mask & ~(kEntryEvents | IN_ISDIR)) return false;
  if ((e.mask & ~(IN_ATTRIB | IN_ISDIR)) && w.listed.count(e.wd)) return false;
  if ((e.mask & (IN_DELETE | IN_MOVED_TO)) && (e.mask & IN_ISDIR)) return false;
  auto it = e.len ? w.entries.find(e.wd) : w.entries.end();
  if (it != w.entries.end()) it->second.modes.erase(e.name);
  return true;
}

// True while no watched folder changed; otherwise the queue is emptied and
// every kept answer dropped.
bool WatchedFoldersUnchanged() {
  FolderWatch& w = Watch();
  if (w.fd < 0) return false;
  bool rang = w.bell.ready() && (w.bell.Rang() > 0 || w.mustRead);
  if (w.bell.ready() && !rang) return true;
  w.unread = 0;
  w.mustRead = false;
  // Room for the largest event after the last read: a read that leaves it
  // took every event queued.
  const ssize_t kLargest = (ssize_t)(sizeof(struct inotify_event) + NAME_MAX + 1);
  alignas(struct inotify_event) char events[4096];
  bool changed = false;
  for (;;) {
    ssize_t n = read(w.fd, events, sizeof events);
    if (n > 0) {
      for (ssize_t at = 0; at < n;) {
        const struct inotify_event* e = (const struct inotify_event*)(events + at);
        if (!TakeEvent(w, *e)) changed = true;
        at += (ssize_t)(sizeof *e + e->len);
      }
      // With the poll, an event after the read completes it again.
      if (w.bell.ready() && n <= (ssize_t)sizeof events - kLargest) break;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) changed = true;
    break;
  }
  // Armed again once the queue is empty: an event from here on completes it.
  if (rang && !w.bell.Arm()) w.bell.Close();
  if (w.bell.ready() && w.bell.Rang() > 0) w.mustRead = true;
  if (changed) DropKeptFolders();
  return !changed;
}

// Watches the folders of `lookup` (`chain`: drive_c and each folder below
// it, the kept one last); `wd` gets the kept folder's watch. False when one
// cannot be watched. The kept folder is held open, which holds back its own
// deletion event (the kernel sends it when the last holder closes it, also
// when another folder is moved onto it): each folder on the way is
// therefore also watched for a folder removed from it or moved into it.
bool WatchFolders(const std::vector<std::string>& chain, const FolderLookup& lookup, int* wd) {
  int fd = WatchFd();
  if (fd < 0) return false;
  for (size_t i = 0; i < chain.size(); ++i) {
    const std::string& dir = chain[i];
    uint32_t mask = IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW | IN_MASK_ADD;
    if (i + 1 < chain.size()) mask |= IN_DELETE | IN_MOVED_TO;
    if (i + 1 == chain.size()) mask |= kEntryEvents;
    bool listed = false;
    for (const FolderLookup::Listed& l : lookup.listed) listed |= l.dir == dir;
    if (listed) mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    *wd = inotify_add_watch(fd, dir.c_str(), mask);
    if (*wd < 0) return false;
    if (listed) Watch().listed.insert(*wd);
  }
  return true;
}

std::string FolderKey(const std::string& root, const std::vector<std::string>& parts, size_t n) {
  std::string key = root;
  for (size_t i = 0; i < n; ++i) key += "\\" + parts[i];
  return key;
}

// The folder is still a folder and the listings read are as they were.
bool StillAsRead(const FolderLookup& lookup) {
  struct stat st;
  bool valid = stat(lookup.host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  for (const FolderLookup::Listed& l : lookup.listed)
    valid = valid && stat(l.dir.c_str(), &st) == 0 && Unchanged(st, l.st);
  return valid;
}

// The entries read in a kept answer's folder; null when it is not watched.
EntryModes* KeptEntries(const FolderLookup& kept) {
  if (!kept.watched) return nullptr;
  auto& entries = Watch().entries;
  auto it = entries.find(kept.wd);
  return it == entries.end() ? nullptr : &it->second.modes;
}

// The kept answer for `key` while it holds, or null.
const FolderLookup* KeptFolder(const std::string& key) {
  auto& cache = FolderCache();
  auto it = cache.find(key);
  if (it == cache.end()) return nullptr;
  if (it->second.watched) return WatchedFoldersUnchanged() ? &it->second : nullptr;
  if (StillAsRead(it->second)) return &it->second;
  cache.erase(it);
  return nullptr;
}

// `held` gets the folder held open when the answer is watched, and `modes`
// the entries read in it.
bool ResolveFolder(const std::string& root, const std::vector<std::string>& parts, size_t n, std::string* host,
                   std::shared_ptr<const HostFolder>* held, EntryModes** modes) {
  std::string key = FolderKey(root, parts, n);
  if (const FolderLookup* kept = KeptFolder(key)) {
    *host = kept->host;
    *held = kept->folder;
    *modes = KeptEntries(*kept);
    return true;
  }
  // The events so far are taken first: the entries of a folder another
  // answer keeps are then as the host has them.
  if (Watch().fd >= 0) WatchedFoldersUnchanged();
  FolderLookup lookup;
  std::vector<std::string> chain{root};
  std::string h = root;
  for (size_t i = 0; i < n; ++i) {
    FolderLookup::Listed l;
    if (stat(h.c_str(), &l.st) != 0) return false;
    std::string actual;
    bool listed = false;
    if (!FindEntry(h, parts[i], &actual, &listed)) return false;
    if (listed) {
      l.dir = h;
      lookup.listed.push_back(l);
    }
    h += "/" + actual;
    chain.push_back(h);
  }
  if (!IsDirectoryHost(h)) return false;
  lookup.host = h;
  // Watched from here on; what changed between the reading and the watch
  // shows in the folders' times. Opened once watched: a folder put in its
  // place before the open has moved or deleted the one watched.
  int wd = -1;
  if (!lookup.listed.empty() && WatchFolders(chain, lookup, &wd)) {
    int fd = open(h.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) lookup.folder = std::make_shared<HostFolder>(fd);
    if (lookup.folder && lookup.folder->ino() != 0 && StillAsRead(lookup)) lookup.watched = true;
    if (lookup.watched) {
      lookup.wd = wd;
      FolderWatch::Entries& entries = Watch().entries[wd];
      entries.dev = lookup.folder->dev();
      entries.ino = lookup.folder->ino();
    } else {
      lookup.folder.reset();
    }
  }
  auto& cache = FolderCache();
  if (cache.size() >= 1024) DropKeptFolders();
  FolderLookup& kept = cache[key] = lookup;
  *host = h;
  *held = kept.folder;
  *modes = KeptEntries(kept);
  return true;
}

uint64_t FileTimeOf(const struct stat& st) {
  // 100 ns ticks since 1601-01-01.
  return ((uint64_t)st.st_mtim.tv_sec + 11644473600ull) * 10000000ull + (uint64_t)st.st_mtim.tv_nsec / 100;
}

void EnsureState() {
  Machine& m = Machine::Current();
  DirectoryState& s = DirState();
  if (s.valid && s.pid == m.pid() && s.machineDir == m.dir()) return;
  s.valid = true;
  s.pid = m.pid();
  s.machineDir = m.dir();
  s.redirectionEnabled = true;
  s.cwd = m.os().windir;
  // `winsim run --cwd` hands the starting directory over; one that does not
  // exist leaves the Windows directory, as a shortcut with a stale "Start
  // in" folder does.
  const char* env = getenv("WINSIM_CWD");
  if (env && *env) {
    WindowsPath p;
    DWORD error = 0;
    ResolvedPath r;
    if (ParseWindowsPath(env, s.cwd, &p, &error) && ResolveWindowsPath(p, 0, &r, &error) && r.exists &&
        IsDirectoryHost(r.host)) {
      p.trailing = false;
      s.cwd = p.Text();
    }
  }
}

// The folders below %windir%\system32 that WOW64 leaves alone.
bool ExemptFromRedirection(const std::vector<std::string>& below, const OsInfo& os) {
  if (below.empty()) return false;
  static const char* const kExempt[] = {"catroot", "catroot2", "logfiles", "spool"};
  for (const char* name : kExempt)
    if (EqualNoCase(below[0], name)) return true;
  // Windows 7 added the driver store to the list.
  bool win7 = os.major > 6 || (os.major == 6 && os.minor >= 1);
  if (win7 && EqualNoCase(below[0], "driverstore")) return true;
  return below.size() >= 2 && EqualNoCase(below[0], "drivers") && EqualNoCase(below[1], "etc");
}

// The 32-bit program's view of the Windows directory on 64-bit Windows.
void Redirect(std::vector<std::string>* parts, const OsInfo& os) {
  std::vector<std::string> windir = SplitPathParts(os.windir.substr(2));
  size_t k = windir.size();
  if (parts->size() <= k) return;
  for (size_t i = 0; i < k; ++i)
    if (!EqualNoCase((*parts)[i], windir[i])) return;
  std::string& next = (*parts)[k];
  if (EqualNoCase(next, "system32")) {
    std::vector<std::string> below(parts->begin() + k + 1, parts->end());
    if (!ExemptFromRedirection(below, os)) next = "SysWOW64";
  } else if (EqualNoCase(next, "Sysnative") && os.major >= 6) {
    // The 64-bit system directory, reachable from 32-bit programs since Vista.
    next = "System32";
  } else if (EqualNoCase(next, "lastgood") && parts->size() > k + 1 && EqualNoCase((*parts)[k + 1], "system32")) {
    (*parts)[k + 1] = "SysWOW64";
  } else if (EqualNoCase(next, "regedit.exe") && parts->size() == k + 1) {
    parts->insert(parts->begin() + k, "SysWOW64");
  }
}

}  // namespace

HostFolder::HostFolder(int fd) : m_fd(fd) {
  struct stat st;
  if (fstat(fd, &st) == 0) {
    m_dev = st.st_dev;
    m_ino = st.st_ino;
  }
}

HostFolder::~HostFolder() {
  if (m_fd >= 0) close(m_fd);
}

int ResolvedPath::AtFd() const { return folder ? folder->fd() : AT_FDCWD; }

bool ResolveWindowsPath(const WindowsPath& path, unsigned flags, ResolvedPath* out, DWORD* error) {
  *out = ResolvedPath();
  if (path.drive != 'C') {
    *error = ERROR_PATH_NOT_FOUND;  // no such drive
    return false;
  }
  // A literal path may hold "." and ".." as names.
  bool dots = false;
  for (const std::string& part : path.parts) {
    if (HasInvalidNameChar(part, false) || (!path.literal && IsDots(part))) {
      *error = ERROR_INVALID_NAME;
      return false;
    }
    dots = dots || IsDots(part);
  }
  std::string text = path.Text();
  // Beyond MAX_PATH only \\?\ names reach the file system.
  if (!path.literal && text.size() >= MAX_PATH) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  out->windows = std::move(text);
  const Machine& m = Machine::Current();
  WindowsPath redirected;
  bool redirect = (flags & FileSystem::kRedirect) && m.os().wow64 && FileSystem::RedirectionEnabled();
  if (redirect) {
    redirected = path;
    Redirect(&redirected.parts, m.os());
    out->windows = redirected.Text();
  }
  const WindowsPath& p = redirect ? redirected : path;

  out->trailingSeparator = p.trailing;
  out->isRoot = p.parts.empty();
  const std::string& root = DriveRoot();
  if (out->isRoot) {
    out->host = root;
    out->exists = true;
    out->parentExists = true;
    return true;
  }
  // The names as they stand are the exact matches when the host has them:
  // each component then wins over any other spelling, so one lstat stands
  // for the walk below. Otherwise the folder is looked up once and kept
  // (ResolveFolder) and only the last name is looked for in it.
  std::string spelled = root;
  struct stat st;
  if (!dots) {
    size_t n = p.parts.size();
    // The last name in its folder; the folder as the host spells it, and
    // held open when kept.
    auto inFolder = [&](const std::string& folder, const std::shared_ptr<const HostFolder>& held, EntryModes* modes) {
      std::string actual;
      struct stat exact;
      exact.st_mode = 0;  // a real entry never has mode 0
      out->parentExists = true;
      out->exists = FindEntry(folder, p.parts.back(), &actual, nullptr, &exact, held ? held->fd() : -1, modes);
      out->host = folder + "/" + (out->exists ? actual : p.parts.back());
      if (held) {
        out->folder = held;
        out->name = out->exists ? actual : p.parts.back();
      }
      if (out->exists && exact.st_mode != 0) {
        out->attributes = FileSystem::AttributesOf(out->host, exact);
        out->mode = exact.st_mode;
      }
      return true;
    };
    // A folder already found under another spelling: no name as it stands
    // can be the whole path.
    const FolderLookup* kept = n > 1 ? KeptFolder(FolderKey(root, p.parts, n - 1)) : nullptr;
    if (kept && !kept->listed.empty()) return inFolder(kept->host, kept->folder, KeptEntries(*kept));
    for (const std::string& part : p.parts) spelled += "/" + part;
    if (lstat(spelled.c_str(), &st) == 0) {
      out->host = spelled;
      out->exists = true;
      out->parentExists = true;
      out->attributes = FileSystem::AttributesOf(spelled, st);
      out->mode = st.st_mode;
      return true;
    }
    if (n == 1) return inFolder(root, nullptr, nullptr);
    std::string folder;
    std::shared_ptr<const HostFolder> held;
    EntryModes* modes = nullptr;
    if (ResolveFolder(root, p.parts, n - 1, &folder, &held, &modes)) return inFolder(folder, held, modes);
  }
  std::string host = root;
  bool found = true;
  for (size_t i = 0; i < p.parts.size(); ++i) {
    bool last = i + 1 == p.parts.size();
    if (last) out->parentExists = found && IsDirectoryHost(host);
    std::string actual;
    if (found && FindEntry(host, p.parts[i], &actual)) {
      host += "/" + actual;
    } else {
      found = false;
      host += "/" + p.parts[i];
    }
  }
  out->host = host;
  out->exists = found && lstat(host.c_str(), &st) == 0;
  if (out->exists) {
    out->attributes = FileSystem::AttributesOf(host, st);
    out->mode = st.st_mode;
  }
  return true;
}

static uint64_t g_missingNameLookups = 0;

bool FileSystem::ResolveEx(const char* windowsPath, unsigned flags, ResolvedPath* out, DWORD* error) {
  *out = ResolvedPath();
  if (!windowsPath || !*windowsPath) {
    *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  // ANSI names pass through a MAX_PATH buffer on their way to the system.
  if (!(flags & kLongText) && strlen(windowsPath) > MAX_PATH) {
    *error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }
  WindowsPath p;
  if (!ParseWindowsPath(windowsPath, CurrentDirectory(), &p, error)) {
    if (*error == ERROR_INVALID_NAME) *error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  if (!ResolveWindowsPath(p, flags, out, error)) return false;
  if (!out->exists) ++g_missingNameLookups;
  return true;
}

uint64_t FileSystem::MissingNameLookups() { return g_missingNameLookups; }

bool FileSystem::Resolve(const std::string& windowsPath, bool redirect, ResolvedPath* out, DWORD* error) {
  return ResolveEx(windowsPath.c_str(), redirect ? (unsigned)kRedirect : 0u, out, error);
}

std::string FileSystem::HostPath(const std::string& windowsPath) {
  WindowsPath p;
  DWORD error = 0;
  ResolvedPath r;
  if (windowsPath.size() < 3 || windowsPath[1] != ':' || !IsPathSeparator(windowsPath[2])) return "";
  if (!ParseWindowsPath(windowsPath, "C:\\", &p, &error) || !ResolveWindowsPath(p, 0, &r, &error)) return "";
  return r.host;
}

std::string FileSystem::WindowsPathOf(const std::string& host) {
  const std::string root = DriveRoot();
  if (host.compare(0, root.size(), root) != 0 || (host.size() > root.size() && host[root.size()] != '/')) return host;
  std::string path = "C:" + host.substr(root.size());
  if (path.size() == 2) path += '/';
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

bool FileSystem::FullPathName(const std::string& path, std::string* full, DWORD* error) {
  WindowsPath p;
  if (!ParseWindowsPath(path, CurrentDirectory(), &p, error)) {
    if (*error != ERROR_INVALID_NAME) {
      // UNC names are left as given, with '\' for '/'.
      *full = path;
      std::replace(full->begin(), full->end(), '/', '\\');
      return true;
    }
    return false;
  }
  *full = p.literal ? path : p.Text();
  return true;
}

std::string FileSystem::CurrentDirectory() {
  EnsureState();
  return DirState().cwd;
}

void FileSystem::SetCurrentDirectory(const std::string& windowsPath) {
  EnsureState();
  WindowsPath p;
  DWORD error = 0;
  if (!ParseWindowsPath(windowsPath, DirState().cwd, &p, &error)) return;
  p.trailing = false;
  DirState().cwd = p.Text();
}

bool FileSystem::RedirectionEnabled() {
  EnsureState();
  return DirState().redirectionEnabled;
}

void FileSystem::SetRedirectionEnabled(bool enabled) {
  EnsureState();
  DirState().redirectionEnabled = enabled;
}

DWORD FileSystem::Attributes(const std::string& hostPath) {
  struct stat st;
  if (lstat(hostPath.c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
  return AttributesOf(hostPath, st);
}

DWORD FileSystem::AttributesOf(const std::string& hostPath, const struct stat& st) {
  const std::string& root = DriveRoot();
  size_t end = hostPath.size();
  while (end > root.size() && hostPath[end - 1] == '/') --end;
  if (end == root.size() && hostPath.compare(0, end, root) == 0)
    return FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
  if (S_ISLNK(st.st_mode)) {
    // A junction, or a symbolic link to a file; a dangling one is taken for
    // a junction, as most links on a system drive are.
    struct stat target;
    bool toFile = stat(hostPath.c_str(), &target) == 0 && !S_ISDIR(target.st_mode);
    return FILE_ATTRIBUTE_REPARSE_POINT | (toFile ? 0 : FILE_ATTRIBUTE_DIRECTORY);
  }
  bool dir = S_ISDIR(st.st_mode);
  DWORD a = dir ? FILE_ATTRIBUTE_DIRECTORY : 0;
  if (dir ? (st.st_mode & S_ISUID) != 0 : (st.st_mode & S_IWUSR) == 0) a |= FILE_ATTRIBUTE_READONLY;
  if (st.st_mode & S_ISVTX) a |= FILE_ATTRIBUTE_HIDDEN;
  if (st.st_mode & S_ISGID) a |= FILE_ATTRIBUTE_SYSTEM;
  if (!(st.st_mode & S_IXOTH)) a |= FILE_ATTRIBUTE_ARCHIVE;
  if (a == 0) a = FILE_ATTRIBUTE_NORMAL;
  return a;
}

namespace {

// Gives an entry of host mode `current` the mode bits of `attributes`.
bool ChangeMode(int dirFd, const char* name, mode_t current, DWORD attributes) {
  // A link carries no mode of its own on the host; its attributes stay.
  if (S_ISLNK(current)) return true;
  bool dir = S_ISDIR(current);
  mode_t mode = current & 0777;
  if (dir) {
    mode |= S_IWUSR;
    if (attributes & FILE_ATTRIBUTE_READONLY) mode |= S_ISUID;
  } else if (attributes & FILE_ATTRIBUTE_READONLY) {
    mode &= ~(mode_t)(S_IWUSR | S_IWGRP | S_IWOTH);
  } else {
    mode |= S_IWUSR;
  }
  if (attributes & FILE_ATTRIBUTE_HIDDEN) mode |= S_ISVTX;
  if (attributes & FILE_ATTRIBUTE_SYSTEM) mode |= S_ISGID;
  if (attributes & FILE_ATTRIBUTE_ARCHIVE)
    mode &= ~(mode_t)S_IXOTH;
  else
    mode |= S_IXOTH;
  mode |= S_IRUSR | (dir ? S_IXUSR : 0);
  if (mode == (current & 07777)) return true;
  return fchmodat(dirFd, name, mode, 0) == 0;
}

}  // namespace

bool FileSystem::SetAttributes(const std::string& hostPath, DWORD attributes, unsigned knownMode) {
  struct stat st;
  if (knownMode != 0)
    st.st_mode = (mode_t)knownMode;
  else if (lstat(hostPath.c_str(), &st) != 0)
    return false;
  const std::string& root = DriveRoot();
  std::string h = hostPath;
  while (h.size() > root.size() && h.back() == '/') h.pop_back();
  if (h == root) return true;
  return ChangeMode(AT_FDCWD, hostPath.c_str(), st.st_mode, attributes);
}

bool FileSystem::SetAttributes(const ResolvedPath& r, DWORD attributes) {
  struct stat st;
  if (r.mode != 0)
    st.st_mode = (mode_t)r.mode;
  else if (fstatat(r.AtFd(), r.AtName(), &st, AT_SYMLINK_NOFOLLOW) != 0)
    return false;
  if (r.isRoot) return true;
  return ChangeMode(r.AtFd(), r.AtName(), st.st_mode, attributes);
}

bool FileSystem::NameLess(const std::string& a, const std::string& b) {
  return NameKeyLess(UpperName(a), a, UpperName(b), b);
}

bool FileSystem::NameKeyLess(const std::string& ua, const std::string& a, const std::string& ub, const std::string& b) {
  int c = memcmp(ua.data(), ub.data(), std::min(ua.size(), ub.size()));
  if (c != 0) return c < 0;
  if (ua.size() != ub.size()) return ua.size() < ub.size();
  return a < b;
}

namespace {

// The names of an open listing, "." and ".." left out, in NTFS order; the
// listing is closed.
std::vector<FileSystem::Name> SortedNames(DIR* d) {
  std::vector<FileSystem::Name> names;
  if (!d) return names;
  while (struct dirent* e = readdir(d)) {
    if (strcmp(e->d_name, ".") == 0 || strcmp(e->d_name, "..") == 0) continue;
    names.push_back(FileSystem::Name{UpperName(e->d_name), e->d_name});
  }
  closedir(d);
  std::sort(names.begin(), names.end(), [](const FileSystem::Name& a, const FileSystem::Name& b) {
    return FileSystem::NameKeyLess(a.upper, a.name, b.upper, b.name);
  });
  return names;
}

void FillEntry(const std::string& hostPath, const std::string& name, const struct stat& st, DirEntry* entry) {
  entry->name = name;
  entry->attributes = FileSystem::AttributesOf(hostPath, st);
  entry->size = S_ISREG(st.st_mode) ? (uint64_t)st.st_size : 0;
  entry->writeTime = FileTimeOf(st);
}

}  // namespace

std::vector<FileSystem::Name> FileSystem::Names(const std::string& hostDir) {
  return SortedNames(opendir(hostDir.c_str()));
}

std::vector<FileSystem::Name> FileSystem::Names(const HostFolder& dir) {
  // Read from its start through a descriptor of its own.
  int fd = openat(dir.fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return {};
  DIR* d = fdopendir(fd);
  if (!d) close(fd);
  return SortedNames(d);
}

bool FileSystem::Stat(const std::string& hostPath, DirEntry* entry) {
  struct stat st;
  if (lstat(hostPath.c_str(), &st) != 0) return false;
  size_t slash = hostPath.find_last_of('/');
  FillEntry(hostPath, slash == std::string::npos ? hostPath : hostPath.substr(slash + 1), st, entry);
  return true;
}

bool FileSystem::Stat(const HostFolder& dir, const std::string& hostDir, const std::string& name, DirEntry* entry) {
  struct stat st;
  if (fstatat(dir.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  // What a search reads in a kept folder serves the look-ups of the name
  // that follow it.
  for (auto& kept : Watch().entries)
    if (kept.second.ino == dir.ino() && kept.second.dev == dir.dev() && dir.ino() != 0)
      NoteEntry(&kept.second.modes, name, st);
  FillEntry(hostDir + "/" + name, name, st, entry);
  return true;
}

void FileSystem::Deleted(const ResolvedPath& r) {
  FolderWatch& w = Watch();
  if (!r.folder || !w.bell.ready() || w.mustRead) return;
  for (auto& kept : w.entries) {
    if (kept.second.ino != r.folder->ino() || kept.second.dev != r.folder->dev()) continue;
    // The look-up before the deletion took every event so far: the one
    // completion since is the deletion's own event, which drops the name
    // here. A folder whose listing a kept answer read, or anything else,
    // leaves the queue to be read.
    unsigned rang = w.bell.Rang();
    if (rang == 0) return;
    kept.second.modes.erase(r.name);
    if (rang > 1 || !w.bell.armed() || w.listed.count(kept.first) || ++w.unread >= 64) w.mustRead = true;
    return;
  }
}

std::shared_ptr<const HostFolder> FileSystem::OpenFolder(const ResolvedPath& dir) {
  int fd = openat(dir.AtFd(), dir.AtName(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::make_shared<HostFolder>(fd);
}

std::vector<DirEntry> FileSystem::List(const std::string& hostDir) {
  std::vector<DirEntry> entries;
  for (const Name& n : Names(hostDir)) {
    DirEntry entry;
    if (Stat(hostDir + "/" + n.name, &entry)) entries.push_back(entry);
  }
  return entries;
}

}  // namespace winsim
