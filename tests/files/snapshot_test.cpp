#include "files/snapshot.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "files/document.h"
#include "support/support.h"

namespace {
const int kCells[] = {1, 2, 3, 255, 0, 9, 7, 7, 7, 0, 0, 0, 10, 20, 30, 4, 5, 6};  // 3 x 2
const SnapshotMeta kMeta{1733678400, 4, false, " a b\nc/絵.koma"};

int mode(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

std::string written(const std::string &folder, const std::string &id, const SnapshotMeta &m = kMeta) {
  return snapshot_prepare(folder, id, 3, 2, kCells, m) && snapshot_commit(folder, id)
             ? read_file(folder + "/" + id + ".koma") : "";
}
}  // namespace

// A snapshot is a document any reader takes, with the metadata after its
// cells; it comes back whole, in a folder and a file only its user reads.
// Prepared and not committed, it leaves the previous one in place.
TEST(Snapshot, WrittenAtomicallyAndReadBack) {
  const std::string folder = make_scratch_dir("snap") + "/new/recovery";
  EXPECT_FALSE(snapshot_prepare(folder, "1-1", 3, 2, kCells, kMeta));
  ASSERT_TRUE(snapshot_make_folder(folder));
  const std::string bytes = written(folder, "1-1");
  EXPECT_EQ(bytes, koma_format(3, 2, kCells) +
                       "koma-recovery 1\ntime 1733678400\nscale 4\nuntitled 0\nname 15  a b\nc/絵.koma\n");
  KomaDoc doc;
  EXPECT_TRUE(koma_parse(bytes.data(), bytes.size(), &doc) && doc.status == KomaStatus::Complete);
  EXPECT_EQ(mode(folder) * 01000 + mode(folder + "/..") + mode(folder + "/1-1.koma"), 0700 * 01000 + 0700 + 0600);
  std::vector<int> other(kCells, kCells + 18);
  other[0] = 255;
  ASSERT_TRUE(snapshot_prepare(folder, "1-1", 3, 2, other.data(), {5, 10, true, "無題.koma"}));
  Snapshot s;
  ASSERT_EQ(snapshot_read(folder, "1-1", &s), SnapshotRead::Ok);  // the old one, until committed
  EXPECT_EQ(std::vector<int>(kCells, kCells + 18), s.cells);
  EXPECT_EQ(s.width * 10 + s.height, 32);
  EXPECT_EQ(s.meta.time + s.meta.scale + s.meta.untitled, 1733678400 + 4);
  EXPECT_EQ(s.meta.name, kMeta.name);
  ASSERT_TRUE(snapshot_commit(folder, "1-1"));
  ASSERT_EQ(snapshot_read(folder, "1-1", &s), SnapshotRead::Ok);
  EXPECT_TRUE(s.cells[0] == 255 && s.meta.untitled && s.meta.scale == 10 && s.meta.name == "無題.koma");
  EXPECT_EQ(snapshot_ids(folder), std::vector<std::string>{"1-1"});  // no temporary file left
}

// Anything but a whole snapshot is damaged: every truncation, garbage, a size
// line that does not match the cells, metadata out of range; it moves aside.
TEST(Snapshot, DamagedOnesAreRefusedAndMovedAside) {
  const std::string folder = make_scratch_dir("snap");
  const std::string good = written(folder, "9");
  const std::string cells = koma_format(3, 2, kCells), meta = good.substr(cells.size());
  std::vector<std::string> bad = {"hello", cells, "koma1.0\n3 x\n" + cells.substr(14) + meta,
                                  "koma1.0\n3 x 3\n" + cells.substr(14) + meta,
                                  "koma1.0\n2 x 2\n" + cells.substr(14) + meta, good + "x\n",
                                  cells + "koma-recovery 1\ntime 1\nscale 11\nuntitled 0\nname 1 a\n",
                                  cells + "koma-recovery 1\ntime 1\nscale 2\nuntitled 2\nname 1 a\n",
                                  cells + "koma-recovery 1\ntime 1\nscale 2\nuntitled 1\nname 2 a\n"};
  for (std::size_t n = 0; n < good.size(); n++) bad.push_back(good.substr(0, n));
  Snapshot s;
  for (const std::string &b : bad) {
    write_file(folder + "/9.koma", b);
    EXPECT_EQ(snapshot_read(folder, "9", &s), SnapshotRead::Damaged) << b;
  }
  EXPECT_EQ(snapshot_read(folder, "8", &s), SnapshotRead::Missing);
  ASSERT_TRUE(snapshot_move_aside(folder, "9"));
  EXPECT_EQ(read_file(folder + "/damaged/9.koma") + std::to_string(mode(folder + "/damaged")), bad.back() + "448");
  EXPECT_EQ(snapshot_read(folder, "9", &s), SnapshotRead::Missing);
}

// A lock held by a running program cannot be taken; once it is released, or
// when its file is missing, the id counts as dead. Forgetting an id leaves
// nothing of it; a snapshot can change its id.
TEST(Snapshot, LocksTellLiveFromDead) {
  const std::string folder = make_scratch_dir("snap");
  const int own = snapshot_lock_own(folder, "live");
  ASSERT_GE(own, 0);
  EXPECT_EQ(snapshot_lock_own(folder, "live"), -1);
  EXPECT_EQ(snapshot_lock_dead(folder, "live"), -1);
  written(folder, "live");
  written(folder, "gone");
  write_file(folder + "/.temp.tmp", "x");
  auto ids = snapshot_ids(folder);
  std::sort(ids.begin(), ids.end());
  EXPECT_EQ(ids, (std::vector<std::string>{"gone", "live", "temp"}));
  const int gone = snapshot_lock_dead(folder, "gone");  // its lock file is made
  EXPECT_GE(gone, 0);
  EXPECT_EQ(snapshot_lock_dead(folder, "gone"), -1);  // taken by us meanwhile
  EXPECT_TRUE(snapshot_rename(folder, "gone", "temp"));
  snapshot_forget(folder, "gone", gone);
  close(own);
  const int dead = snapshot_lock_dead(folder, "live");
  EXPECT_GE(dead, 0);
  snapshot_forget(folder, "live", dead);
  EXPECT_EQ(snapshot_ids(folder), std::vector<std::string>{"temp"});
  Snapshot s;
  EXPECT_EQ(snapshot_read(folder, "temp", &s), SnapshotRead::Ok);
}
