#include "files/snapshot.h"

#include <sys/stat.h>

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

std::string read_back(const std::string &folder, const std::string &id) {  // as a document, then the metadata
  Snapshot s;
  const SnapshotMeta &m = s.meta;
  return snapshot_read(folder, id, &s) != SnapshotRead::Ok ? "not read" : koma_format(s.width, s.height, s.cells.data()) +
      std::to_string(m.time) + " " + std::to_string(m.scale) + " " + std::to_string(m.untitled) + " " + m.name;
}
}  // namespace

// A snapshot is a document any reader takes, with the metadata after its cells; it comes back whole, in a
// folder and a file only its user reads. Prepared and not committed, it leaves the previous one in place;
// committed, no temporary file. Ids are those of snapshots, locks and temporary files; forgetting one clears it.
TEST(Snapshot, WrittenAtomicallyAndReadBack) {
  const std::string folder = make_scratch_dir("snap") + "/new/recovery", file = folder + "/1-1.koma";
  EXPECT_FALSE(snapshot_prepare(folder, "1-1", 3, 2, kCells, kMeta));
  ASSERT_TRUE(snapshot_make_folder(folder) && snapshot_prepare(folder, "1-1", 3, 2, kCells, kMeta) && snapshot_commit(folder, "1-1"));
  const std::string bytes = read_file(file), head = koma_format(3, 2, kCells);
  EXPECT_EQ(bytes, head + "koma-recovery 1\ntime 1733678400\nscale 4\nuntitled 0\nname 15  a b\nc/絵.koma\n");
  KomaDoc doc;
  EXPECT_TRUE(koma_parse(bytes.data(), bytes.size(), &doc) && doc.status == KomaStatus::Complete);
  EXPECT_EQ(mode(folder) * 01000 + mode(folder + "/..") + mode(file), 0700 * 01000 + 0700 + 0600);
  const int other[] = {255, 2, 3, 255, 0, 9};
  for (bool commit : {false, true}) {
    ASSERT_TRUE(snapshot_prepare(folder, "1-1", 2, 1, other, {5, 10, true, "無題.koma"}) && (!commit || snapshot_commit(folder, "1-1")));
    EXPECT_EQ(read_back(folder, "1-1"), commit ? koma_format(2, 1, other) + "5 10 1 無題.koma" : head + "1733678400 4 0 " + kMeta.name);
  }
  write_file(folder + "/.2-2.tmp", "x"), write_file(folder + "/3-3.lock", "");
  EXPECT_EQ(snapshot_ids(folder).size(), 3u);
  snapshot_forget(folder, "1-1", -1), snapshot_forget(folder, "2-2", -1);
  EXPECT_EQ(snapshot_ids(folder), std::vector<std::string>{"3-3"});
}

// Anything but a whole snapshot is damaged: every truncation, garbage, a size line that
// does not match the cells, metadata out of range; it moves aside.
TEST(Snapshot, DamagedOnesAreRefusedAndMovedAside) {
  const std::string folder = make_scratch_dir("snap"), cells = koma_format(3, 2, kCells), meta = "koma-recovery 1\ntime 1\nscale ";
  ASSERT_TRUE(snapshot_prepare(folder, "9", 3, 2, kCells, kMeta) && snapshot_commit(folder, "9"));
  const std::string good = read_file(folder + "/9.koma"), tail = cells.substr(14) + good.substr(cells.size());
  std::vector<std::string> bad = {"hello", cells, "koma1.0\n3 x\n" + tail, "koma1.0\n3 x 3\n" + tail, "koma1.0\n2 x 2\n" + tail, good + "x\n",
                                  cells + meta + "11\nuntitled 0\nname 1 a\n", cells + meta + "2\nuntitled 2\nname 1 a\n",
                                  cells + meta + "2\nuntitled 1\nname 2 a\n"};
  for (std::size_t n = 0; n < good.size(); n++) bad.push_back(good.substr(0, n));
  Snapshot s;
  std::string taken;
  for (const std::string &b : bad) write_file(folder + "/9.koma", b), taken += snapshot_read(folder, "9", &s) == SnapshotRead::Damaged ? "" : b + "|";
  EXPECT_EQ(taken, "");
  ASSERT_TRUE(snapshot_move_aside(folder, "9"));
  EXPECT_EQ(read_file(folder + "/damaged/9.koma") + std::to_string(mode(folder + "/damaged")), bad.back() + "448");
  EXPECT_EQ(snapshot_read(folder, "9", &s), SnapshotRead::Missing);
}
