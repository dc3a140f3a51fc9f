// The SQLite record file: how it is made, and the files it refuses and
// leaves exactly as they were.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "records/sqlite_record_store.h"
#include "tests/records/sample_record.h"
#include "tests/support/temp_dir.h"

namespace vantrel {
namespace {

using Mode = SqliteRecordStore::Mode;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Runs `sql` on the file with SQLite itself, as another program would; the
// first column of the first row.
std::string Sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    std::string first;
    const auto keepFirst = [](void* out, int columns, char** values, char**) {
        auto* text = static_cast<std::string*>(out);
        if (columns > 0 && values[0] && text->empty()) {
            *text = values[0];
        }
        return 0;
    };
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), keepFirst, &first, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
    return first;
}

TEST(SqliteRecordStore, CreatesFolderAndFileWithSchemaVersionInWalMode) {
    test::TempDir dir;
    const std::string path = (dir.Path() / "share" / "vantrel" / "records.sqlite").string();
    SqliteRecordStore(path).Write(test::SampleRecord(1));
    EXPECT_EQ(Sql(path, "PRAGMA user_version"), std::to_string(SqliteRecordStore::kSchemaVersion));
    EXPECT_EQ(Sql(path, "PRAGMA journal_mode"), "wal");
    EXPECT_EQ(Sql(path, "SELECT count(*) FROM units"), "1");
    EXPECT_EQ(SqliteRecordStore(path, Mode::kExisting).Latest({}).size(), 1u);
}

TEST(SqliteRecordStore, AnEmptyFileHoldsNoRecordsAndBecomesARecordFile) {
    test::TempDir dir;
    const std::string path = dir.Write("records.sqlite", "");
    EXPECT_TRUE(SqliteRecordStore(path, Mode::kExisting).Latest({}).empty());
    EXPECT_EQ(Bytes(path), "") << "reading creates nothing";
    SqliteRecordStore(path).Write(test::SampleRecord(1));
    EXPECT_EQ(SqliteRecordStore(path).Latest({}).size(), 1u);
}

std::string RandomBytes(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return bytes;
}

TEST(SqliteRecordStore, FilesThatAreNoRecordFileAreNamedAndLeftAsTheyWere) {
    struct Case {
        const char* what;
        std::function<std::string(const test::TempDir&)> make;
        const char* words;
    };
    const Case table[] = {
        {"random bytes", [](const auto& dir) { return dir.Write("r.sqlite", RandomBytes(8192)); },
         "is not a database"},
        {"a text file",
         [](const auto& dir) { return dir.Write("r.sqlite", "PORT 1 completed\nPORT 2 failed\n"); },
         "is not a database"},
        {"another program's database",
         [](const auto& dir) {
             const std::string path = dir.File("r.sqlite");
             Sql(path, "CREATE TABLE contacts (name TEXT); INSERT INTO contacts VALUES ('x')");
             return path;
         },
         "a database of another program"},
        {"a record file of a newer version",
         [](const auto& dir) {
             const std::string path = dir.File("r.sqlite");
             SqliteRecordStore(path).Write(test::SampleRecord(1));
             Sql(path, "PRAGMA wal_checkpoint(TRUNCATE); PRAGMA user_version=99");
             return path;
         },
         "newer Vantrel (schema 99"},
    };
    for (const Case& c : table) {
        for (const Mode mode : {Mode::kCreate, Mode::kExisting}) {
            test::TempDir dir;
            const std::string path = c.make(dir);
            const std::string before = Bytes(path);
            try {
                SqliteRecordStore store(path, mode);
                ADD_FAILURE() << c.what << ": opened";
            } catch (const RecordStoreError& error) {
                const std::string message = error.what();
                EXPECT_NE(message.find(path), std::string::npos) << c.what << ": " << message;
                EXPECT_NE(message.find(c.words), std::string::npos) << c.what << ": " << message;
            }
            EXPECT_EQ(Bytes(path), before) << c.what;
            EXPECT_FALSE(std::filesystem::exists(path + "-wal")) << c.what;
        }
    }
}

TEST(SqliteRecordStore, DamagedPagesFailWhenReadAndStayAsTheyWere) {
    test::TempDir dir;
    const std::string path = dir.File("r.sqlite");
    {
        SqliteRecordStore store(path);
        for (int number = 0; number < 40; ++number) {
            UnitRecord record = test::SampleRecord(number);
            record.log = std::string(3000, 'l');
            store.Write(record);
        }
    }
    Sql(path, "PRAGMA wal_checkpoint(TRUNCATE)");
    // Scribble over every page but the first, which holds the schema.
    std::string bytes = Bytes(path);
    const std::string noise = RandomBytes(bytes.size());
    bytes.replace(4096, bytes.size() - 4096, noise.substr(4096));
    dir.Write("r.sqlite", bytes);
    try {
        SqliteRecordStore(path, Mode::kExisting).Latest({});
        ADD_FAILURE() << "read a damaged file";
    } catch (const RecordStoreError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(path), std::string::npos) << message;
        EXPECT_NE(message.find("damaged"), std::string::npos) << message;
    }
    EXPECT_EQ(Bytes(path), bytes);
}

TEST(SqliteRecordStore, PlacesThatCannotHoldTheFileAreNamed) {
    test::TempDir dir;
    const std::string file = dir.Write("plain.txt", "x");
    const std::pair<std::string, const char*> table[] = {
        {dir.Path().string(), "is a directory"},
        {file + "/records.sqlite", "cannot create the folder"},
    };
    for (const auto& [path, words] : table) {
        try {
            SqliteRecordStore store(path);
            ADD_FAILURE() << path << ": opened";
        } catch (const RecordStoreError& error) {
            EXPECT_NE(std::string(error.what()).find(words), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(Bytes(file), "x");
}

TEST(SqliteRecordStore, UnreadableFileForAnOrdinaryUser) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root reads every file; the other unreadable cases cover the message";
    }
    test::TempDir dir;
    const std::string path = dir.File("r.sqlite");
    SqliteRecordStore(path).Write(test::SampleRecord(1));
    const std::string before = Bytes(path);
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    try {
        SqliteRecordStore store(path, Mode::kExisting);
        ADD_FAILURE() << "opened";
    } catch (const RecordStoreError& error) {
        EXPECT_NE(std::string(error.what()).find("cannot open the record file " + path),
                  std::string::npos)
            << error.what();
    }
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(Bytes(path), before);
}

TEST(SqliteRecordStore, SpoolIsKeptPerServerOldestFirst) {
    test::TempDir dir;
    SqliteRecordStore store(dir.File("r.sqlite"));
    store.WriteAndSpool(test::SampleRecord(2), "postgresql://a/r");
    store.WriteAndSpool(test::SampleRecord(1), "postgresql://b/r");
    store.WriteAndSpool(test::SampleRecord(3), "postgresql://a/r");
    store.WriteAndSpool(test::SampleRecord(2), "postgresql://a/r");  // spooled once
    store.Write(test::SampleRecord(4));
    EXPECT_EQ(store.SpoolCount("postgresql://a/r"), 2u);
    EXPECT_EQ(store.SpoolCount("postgresql://b/r"), 1u);
    const auto spooled = store.SpooledFor("postgresql://a/r", 0, 10);
    ASSERT_EQ(spooled.size(), 2u);
    test::ExpectSameRecord(test::SampleRecord(2), spooled[0].record);
    test::ExpectSameRecord(test::SampleRecord(3), spooled[1].record);
    EXPECT_EQ(store.SpooledFor("postgresql://a/r", spooled[0].position, 10).size(), 1u);
    store.Unspool(spooled[0].position);
    EXPECT_EQ(store.SpoolCount("postgresql://a/r"), 1u);
    EXPECT_EQ(store.Latest({}).size(), 4u) << "the station keeps its copy of each";
}

}  // namespace
}  // namespace vantrel
