// The settings store with the registry's behaviour: values of every kind written,
// read back and persisted, result codes, case-insensitive names, hand edits picked
// up, unparsable files kept aside, and commits that fail or crash half-way.
#include "platform/registry.h"

#include <sys/stat.h>

#include <cstring>
#include <functional>

#include "platform/text.h"
#include "tests/platform/registry_test_support.h"

namespace kolu {
namespace {

using namespace std::literals;
using test::kSettingsKey;
using test::RegistryStoreTest;
using test::wide;
using ReadValue = test::ReadValue;

TEST_F(RegistryStoreTest, EveryKindOfValueRoundTripsThroughMemoryAndTheFile) {
    struct Case {
        std::u16string name;
        std::uint32_t type;
        std::string bytes;
    };
    const Case cases[] = {
        {u"dword max", kRegDword, "\xFF\xFF\xFF\xFF"s},
        {u"dword", kRegDword, "\x78\x56\x34\x12"s},
        {u"empty", kRegSz, wide(u"")},
        {u"quoted", kRegSz, wide(u"say \"hi\" to C:\\dir\\ [x]\r\nnext\tline\n")},
        {u"non-BMP", kRegSz, wide(u"\U0001F600\U00010348 \u017C\u00F3\u0142w")},
        {u"lone surrogate", kRegSz, wide(u"\xDC00x")},
        {u"padded", kRegSz, wide(u"alice bob ", false) + std::string(1982, '\0')},
        {u"no terminator", kRegSz, wide(u"ab", false)},
        {u"embedded zero", kRegSz, wide(u"a\0b"sv)},
        {u"odd size", kRegSz, "a\0b"s},
        {u"binary", kRegBinary, "\0\0\xD9\xE9\xFF\0"s},
        {u"empty binary", kRegBinary, ""},
        {u"other type", 7, "x\0\0\0"s},
    };
    {
        RegistryStore store(m_path);
        RegKey key;
        ASSERT_EQ(store.createKey(kSettingsKey, key), kErrorSuccess);
        for (const Case& c : cases) {
            ASSERT_EQ(store.setValue(key, c.name, c.type, c.bytes.data(),
                                     static_cast<std::uint32_t>(c.bytes.size())),
                      kErrorSuccess);
        }
        for (const Case& c : cases) {
            const ReadValue read = get(store, key, c.name);
            EXPECT_EQ(read.result, kErrorSuccess);
            EXPECT_EQ(read.type, c.type);
            EXPECT_EQ(read.bytes, c.bytes) << "in memory: " << toUtf8(c.name);
        }
        EXPECT_EQ(store.closeKey(key), kErrorSuccess);
    }
    RegistryStore reopened(m_path);
    for (const Case& c : cases) {
        const ReadValue read = get(reopened, kSettingsKey, c.name);
        EXPECT_EQ(read.result, kErrorSuccess);
        EXPECT_EQ(read.type, c.type);
        EXPECT_EQ(read.bytes, c.bytes) << "from the file: " << toUtf8(c.name);
    }
    const std::string text = test::slurp(m_path);
    EXPECT_NE(text.find("\n\"dword max\"=dword:ffffffff\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\"padded\"=sz(2002):\"alice bob \"\n"), std::string::npos) << text;
}

TEST_F(RegistryStoreTest, ResultCodes) {
    RegistryStore store(m_path);
    ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"kolu42")), kErrorSuccess);
    RegKey key, closed;
    ASSERT_EQ(store.openKey(kSettingsKey, key), kErrorSuccess);
    ASSERT_EQ(store.openKey(kSettingsKey, closed), kErrorSuccess);
    ASSERT_EQ(store.closeKey(closed), kErrorSuccess);
    std::uint32_t size = 64;
    char buffer[64];
    const std::string tooBig(registry_detail::kMaxValueBytes + 1, 'x');
    RegKey out;
    struct Case {
        const char* what;
        std::function<long()> call;
        long expected;
    };
    const Case cases[] = {
        {"open a missing key", [&] { return store.openKey(u"SOFTWARE\\Nope", out); },
         kErrorFileNotFound},
        {"open a missing subkey",
         [&] { return store.openKey(u"SOFTWARE\\Marvoline\\Kolu\\sounds", out); },
         kErrorFileNotFound},
        {"query a missing value",
         [&] { return store.queryValue(key, u"nope", nullptr, buffer, &size); },
         kErrorFileNotFound},
        {"query size only", [&] { return store.queryValue(key, u"nick", nullptr, nullptr, &size); },
         kErrorSuccess},
        {"query data without size",
         [&] { return store.queryValue(key, u"nick", nullptr, buffer, nullptr); },
         kErrorInvalidParameter},
        {"set null data", [&] { return store.setValue(key, u"v", kRegBinary, nullptr, 4); },
         kErrorInvalidParameter},
        {"set a value too big",
         [&] {
             return store.setValue(key, u"v", kRegBinary, tooBig.data(),
                                   static_cast<std::uint32_t>(tooBig.size()));
         },
         kErrorInvalidParameter},
        {"create an empty part", [&] { return store.createKey(u"SOFTWARE\\\\Kolu", out); },
         kErrorInvalidParameter},
        {"create a control character", [&] { return store.createKey(u"SOFTWARE\\a\nb", out); },
         kErrorInvalidParameter},
        {"query no key",
         [&] { return store.queryValue(RegKey{}, u"nick", nullptr, nullptr, &size); },
         kErrorInvalidHandle},
        {"query a closed key",
         [&] { return store.queryValue(closed, u"nick", nullptr, nullptr, &size); },
         kErrorInvalidHandle},
        {"set a closed key", [&] { return store.setValue(closed, u"nick", kRegSz, "\0\0", 2); },
         kErrorInvalidHandle},
        {"close a closed key", [&] { return store.closeKey(closed); }, kErrorInvalidHandle},
        {"close an unknown key", [&] { return store.closeKey(RegKey{12345}); },
         kErrorInvalidHandle},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.call(), c.expected) << c.what;
    }
    EXPECT_EQ(store.openKey(u"Nope", out), kErrorFileNotFound);
    EXPECT_FALSE(out) << "a failed open yields no key";

    // Too small a buffer: the needed size, the type, and the buffer left alone.
    std::uint32_t type = 0;
    size = 13;
    std::memset(buffer, 0xAA, sizeof buffer);
    EXPECT_EQ(store.queryValue(key, u"nick", &type, buffer, &size), kErrorMoreData);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '\xAA'));
    EXPECT_EQ(store.queryValue(key, u"nick", &type, buffer, &size), kErrorSuccess);
    EXPECT_EQ(std::string(buffer, size), wide(u"kolu42"));
    EXPECT_EQ(store.closeKey(key), kErrorSuccess);
}

TEST_F(RegistryStoreTest, KeysAndNamesIgnoreCaseAndKeepTheirFirstSpelling) {
    RegistryStore store(m_path);
    ASSERT_EQ(put(store, u"\\SOFTWARE\\Marvoline\\Kolu\\", u"NickName", kRegSz, wide(u"a")),
              kErrorSuccess);
    ASSERT_EQ(put(store, u"software\\MARVOLINE\\kolu", u"nICKnAME", kRegSz, wide(u"b")),
              kErrorSuccess);
    ASSERT_EQ(put(store, u"SOFTWARE\\Marvoline\\Kolu", u"\u00C9t\u00E9", kRegDword, "\1\0\0\0"s),
              kErrorSuccess);
    const ReadValue read = get(store, u"Software\\Marvoline\\KOLU\\", u"nickname");
    EXPECT_EQ(read.result, kErrorSuccess);
    EXPECT_EQ(read.bytes, wide(u"b"));
    EXPECT_EQ(get(store, kSettingsKey, u"\u00E9T\u00C9").result,
              kErrorSuccess);  // Latin-1 folds too

    const std::string text = test::slurp(m_path);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu]\n\"NickName\"=\"b\"\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("nICK"), std::string::npos) << text;
    EXPECT_EQ(text.find("MARVOLINE"), std::string::npos) << text;
}

TEST_F(RegistryStoreTest, CreateKeyMakesParentsAndTheFileKeepsInsertionOrder) {
    RegistryStore store(m_path);
    RegKey key;
    bool created = false;
    ASSERT_EQ(store.createKey(u"SOFTWARE\\Marvoline\\Kolu\\sounds", key, &created), kErrorSuccess);
    EXPECT_TRUE(created);
    ASSERT_EQ(store.closeKey(key), kErrorSuccess);  // a new key alone is committed too
    ASSERT_EQ(store.createKey(u"SOFTWARE\\Marvoline", key, &created), kErrorSuccess);
    EXPECT_FALSE(created);
    ASSERT_EQ(store.closeKey(key), kErrorSuccess);

    for (const char16_t* name : {u"server", u"nick", u"kolory"}) {
        ASSERT_EQ(put(store, kSettingsKey, name, kRegDword, "\0\0\0\0"s), kErrorSuccess);
    }
    ASSERT_EQ(put(store, kSettingsKey, u"server", kRegDword, "\5\0\0\0"s), kErrorSuccess);

    RegistryStore reopened(m_path);
    for (std::u16string_view path :
         {u"SOFTWARE", u"SOFTWARE\\Marvoline", u"software\\marvoline\\kolu"}) {
        EXPECT_EQ(reopened.openKey(path, key), kErrorSuccess) << toUtf8(path);
        EXPECT_EQ(reopened.closeKey(key), kErrorSuccess);
    }
    const std::string text = test::slurp(m_path);
    const char* const inOrder[] = {
        "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n",
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline]\n",
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu]\n"
        "\"server\"=dword:00000005\n\"nick\"=dword:00000000\n\"kolory\"=dword:00000000\n",
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Marvoline\\Kolu\\sounds]\n",
    };
    std::size_t at = 0;
    for (const char* part : inOrder) {
        const std::size_t found = text.find(part);
        EXPECT_NE(found, std::string::npos) << part << " in\n" << text;
        EXPECT_GE(found, at) << part << " in\n" << text;
        at = found;
    }
}

TEST_F(RegistryStoreTest, WritesShowAtOnceAndReachTheFileWhenTheirKeyCloses) {
    RegistryStore store(m_path);
    RegKey writer, reader;
    ASSERT_EQ(put(store, kSettingsKey, u"nick", kRegSz, wide(u"old")), kErrorSuccess);
    const std::string before = test::slurp(m_path);
    ASSERT_EQ(store.openKey(kSettingsKey, writer), kErrorSuccess);
    ASSERT_EQ(store.openKey(kSettingsKey, reader), kErrorSuccess);
    ASSERT_EQ(store.setValue(writer, u"nick", kRegSz, wide(u"new").data(), 8), kErrorSuccess);
    EXPECT_EQ(get(store, reader, u"nick").bytes, wide(u"new"));
    EXPECT_EQ(store.closeKey(reader), kErrorSuccess);
    EXPECT_EQ(test::slurp(m_path), before) << "only the key written through commits";
    EXPECT_EQ(store.closeKey(writer), kErrorSuccess);
    RegistryStore other(m_path);
    EXPECT_EQ(get(other, kSettingsKey, u"nick").bytes, wide(u"new"));
}

TEST_F(RegistryStoreTest, AnUnchangedValueOrANeverClosedKeyIsHandledSensibly) {
    {
        RegistryStore store(m_path);
        ASSERT_EQ(put(store, kSettingsKey, u"server", kRegDword, "\0\0\0\0"s), kErrorSuccess);
        struct stat before {};
        ASSERT_EQ(::stat(m_path.c_str(), &before), 0);
        // Writing what is already there does not rewrite the file.
        ASSERT_EQ(put(store, kSettingsKey, u"server", kRegDword, "\0\0\0\0"s), kErrorSuccess);
        struct stat after {};
        ASSERT_EQ(::stat(m_path.c_str(), &after), 0);
        EXPECT_EQ(before.st_ino, after.st_ino);

        RegKey leaked;
        ASSERT_EQ(store.openKey(kSettingsKey, leaked), kErrorSuccess);
        ASSERT_EQ(store.setValue(leaked, u"nick", kRegSz, wide(u"x").data(), 4), kErrorSuccess);
    }
    // The store's end still writes what went through a key nobody closed.
    RegistryStore reopened(m_path);
    EXPECT_EQ(get(reopened, kSettingsKey, u"nick").bytes, wide(u"x"));
}

}  // namespace
}  // namespace kolu
