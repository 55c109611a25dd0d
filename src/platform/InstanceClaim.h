// What the operating system offers to keep one scheduler per configuration file: a key that
// names the file however it is reached, a name held for the life of the process (a crash
// frees it), a lock on the file's own data, and one line of talk with a name's holder.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

// The outcome of taking a claim or a lock.
enum class TClaimResult { Taken, HeldElsewhere, Failed };

// A text that is the same for every way one configuration file is reached (other spellings,
// symbolic links to it, its folder mounted elsewhere) and stays so when a save replaces the
// file by a new one. Files that do not exist yet get the key of their folder and name.
QString ConfigFileKey(const QString &fileName);

// A name held by this process until Release or its end, also a crash: on Linux an abstract
// local socket bound to it, which lies in no folder, so neither the runtime folder nor HOME
// makes two names of one. Any user may bind such a name; one held by another user is passed
// over (the peer's credentials tell), so the lock on the file is what decides. Virtual, so that
// a platform of tests may hand out claims of its own.
class TNameClaim {
public:
  TNameClaim() = default;
  virtual ~TNameClaim();
  TNameClaim(const TNameClaim &) = delete;
  TNameClaim &operator=(const TNameClaim &) = delete;

  // Takes name, or the first of its alternatives that no other user holds. HeldElsewhere only
  // when a process of our own user holds it; Taken without holding anything (Held false) when
  // other users hold them all. With listen, later starts may talk (AcceptCaller then hands out
  // their connections); without, their connections are closed unanswered at AcceptCaller. On
  // Failed, error holds the step and the system's reason.
  virtual TClaimResult Take(const QString &name, bool listen, QString &error);
  virtual void Release();
  virtual bool Held() const { return FFd >= 0; }
  // The descriptor to watch for callers while held with listen; -1 otherwise.
  virtual int ListeningDescriptor() const { return FListening ? FFd : -1; }
  // The connection of one waiting caller that runs as our user (others are turned away, and
  // all when held without listen), or -1 when none waits. The caller owns the descriptor.
  virtual int AcceptCaller();

private:
  int FFd = -1;
  bool FListening = false;
};

// An exclusive lock on the data of the file at a path, however it is reached (hard links
// too). Where there is nothing to lock (no regular file there yet, one we may not read, a
// file system without such locks) it holds nothing and says Taken: the name claim guards.
// Virtual as TNameClaim.
class TFileDataLock {
public:
  TFileDataLock() = default;
  virtual ~TFileDataLock();
  TFileDataLock(const TFileDataLock &) = delete;
  TFileDataLock &operator=(const TFileDataLock &) = delete;

  // Locks the file now at path and then lets go of the one locked before (if it is the same
  // file, it is kept). HeldElsewhere or Failed keep the old lock.
  virtual TClaimResult Lock(const QString &path, QString &error);
  virtual void Release();
  // Whether the file now at path is the one whose data this object locks.
  virtual bool Locks(const QString &path) const;
  // Whether a file's data is locked now.
  virtual bool Holding() const { return FFd >= 0; }

private:
  int FFd = -1;
  std::uint64_t FDevice = 0, FInode = 0;
};

// Sends request as one line to the holder of name and returns its one-line answer, or the
// empty text when it takes no requests, runs as another user or does not answer within
// timeoutMs.
QByteArray AskNameHolder(const QString &name, const QByteArray &request, int timeoutMs);
