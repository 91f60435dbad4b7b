// The entry list: name fallback, assignment, ownership and indexing.

#include "zip/zip_entries.h"

#include <gtest/gtest.h>

#include "platform/errors.h"

namespace orvane {
namespace {

TEST(ZipFileEntry, NewEntryIsEmpty) {
  TZipFileEntries entries;
  const TZipFileEntry& entry = entries.Add();
  EXPECT_EQ(entry.ArchiveFileName(), "");
  EXPECT_EQ(entry.DiskFileName(), "");
  EXPECT_EQ(entry.DateTime(), 0.0);
  EXPECT_EQ(entry.Size(), 0);
  EXPECT_EQ(entry.Stream(), nullptr);
  EXPECT_EQ(entry.HeaderPosition(), 0);
  EXPECT_STREQ(entry.ClassName(), "TZipFileEntry");
}

TEST(ZipFileEntry, ArchiveNameFallsBackToTheDiskNameByteForByte) {
  TZipFileEntries entries;
  TZipFileEntry& entry = entries.AddFile("C:\\data\\x.txt");
  EXPECT_EQ(entry.ArchiveFileName(), "C:\\data\\x.txt");
  EXPECT_EQ(entry.StoredArchiveFileName(), "");

  entry.SetArchiveFileName("x.txt");
  EXPECT_EQ(entry.ArchiveFileName(), "x.txt");
  entry.SetArchiveFileName("");
  EXPECT_EQ(entry.ArchiveFileName(), "C:\\data\\x.txt");
}

TEST(ZipFileEntry, AddStreamSetsStreamAndArchiveNameOnly) {
  TZipFileEntries entries;
  TMemoryStream stream;
  const TZipFileEntry& entry = entries.AddStream(stream, "x.txt");
  EXPECT_EQ(entry.Stream(), &stream);
  EXPECT_EQ(entry.ArchiveFileName(), "x.txt");
  EXPECT_EQ(entry.DiskFileName(), "");
}

TEST(ZipFileEntry, AssignCopiesStoredFieldsButNotHeaderPosition) {
  TZipFileEntries entries;
  TMemoryStream stream;
  TZipFileEntry& source = entries.AddStream(stream, "in.txt");
  source.SetDiskFileName("disk.txt");
  source.SetSize(42);
  source.SetDateTime(43000.5);
  source.SetHeaderPosition(1234);

  TZipFileEntry& target = entries.Add();
  target.SetHeaderPosition(7);
  target.Assign(source);
  EXPECT_EQ(target.ArchiveFileName(), "in.txt");
  EXPECT_EQ(target.DiskFileName(), "disk.txt");
  EXPECT_EQ(target.Size(), 42);
  EXPECT_EQ(target.DateTime(), 43000.5);
  EXPECT_EQ(target.Stream(), &stream);
  EXPECT_EQ(target.HeaderPosition(), 7);
}

TEST(ZipFileEntry, AssignCopiesTheStoredNameNotItsFallback) {
  TZipFileEntries entries;
  TZipFileEntry& source = entries.AddFile("source-disk.txt");
  TZipFileEntry& target = entries.Add();
  target.SetArchiveFileName("old.txt");
  target.Assign(source);
  EXPECT_EQ(target.StoredArchiveFileName(), "");
  EXPECT_EQ(target.ArchiveFileName(), "source-disk.txt");
}

TEST(ZipFileEntry, AssignFromAnotherClassRaisesConvertError) {
  TZipFileEntries entries;
  TZipFileEntry& target = entries.Add();
  const TCollectionItem other;
  try {
    target.Assign(other);
    FAIL() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TCollectionItem to a TZipFileEntry.");
  }
}

TEST(ZipFileEntries, KeepsOrderAndCount) {
  TZipFileEntries entries;
  entries.AddFile("a");
  entries.AddFile("b");
  entries.AddFile("c");
  ASSERT_EQ(entries.Count(), 3);
  EXPECT_EQ(entries.Items(0).DiskFileName(), "a");
  EXPECT_EQ(entries.Items(2).DiskFileName(), "c");
}

class ZipFileEntriesIndex : public ::testing::TestWithParam<int> {};

TEST_P(ZipFileEntriesIndex, OutOfBoundsRaisesListError) {
  TZipFileEntries entries;
  entries.Add();
  entries.Add();
  const TZipFileEntries& constant = entries;
  const std::string expected = Format("List index (%d) out of bounds", {GetParam()});
  EXPECT_THROW(
      {
        try {
          entries.Items(GetParam());
        } catch (const EListError& e) {
          EXPECT_EQ(e.Message(), expected);
          throw;
        }
      },
      EListError);
  EXPECT_THROW(static_cast<void>(constant.Items(GetParam())), EListError);
}

INSTANTIATE_TEST_SUITE_P(Indexes, ZipFileEntriesIndex, ::testing::Values(-1, 2, 1000));

TEST(ZipFileEntries, ClearDestroysEntriesButLeavesStreamsUsable) {
  auto stream = std::make_unique<TMemoryStream>();
  stream->WriteBuffer("abc", 3);
  {
    TZipFileEntries entries;
    entries.AddStream(*stream, "a");
    entries.AddStream(*stream, "b");
    entries.Clear();
    EXPECT_EQ(entries.Count(), 0);
    EXPECT_THROW(entries.Items(0), EListError);
    entries.AddStream(*stream, "c");
  }  // destroying the list leaves the stream alone as well
  stream->WriteBuffer("d", 1);
  stream->SetPosition(0);
  char bytes[4] = {};
  stream->ReadBuffer(bytes, 4);
  EXPECT_EQ(std::string(bytes, 4), "abcd");
}

}  // namespace
}  // namespace orvane
