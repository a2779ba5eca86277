#include "platform/key_store.h"

#include <gtest/gtest.h>

#include "support/temp_home.h"

namespace voxline::test {
namespace {

TEST(KeyStore, NamesIgnoreCaseOpenOnlyDoesNotCreateAndValuesKeepEveryByte) {
    temp_home home;
    registry_key key;
    EXPECT_FALSE(key.open("HKEY_LOCAL_MACHINE\\Software\\Tarnwick\\VXL", true, true));
    ASSERT_TRUE(key.open("HKey_Local_Machine\\Software\\Tarnwick\\VXL", false, false));
    EXPECT_EQ(std::pair(key.status(), key.component_count()), std::pair(registry_key::CREATED, 4));
    ASSERT_TRUE(key.write_string("RegisteredOwner", "x0000abcd"));
    const uint8_t blob[] = {0, 1, 2, 255};
    ASSERT_TRUE(key.write_value("Blob/with slash", registry_key::TYPE_BINARY, blob, sizeof blob));

    registry_key again;
    ASSERT_TRUE(again.open("HKEY_LOCAL_MACHINE\\SOFTWARE\\TARNWICK\\vxl", true, true));
    EXPECT_EQ(again.status(), registry_key::OPENED_EXISTING);
    std::string owner;
    ASSERT_TRUE(again.read_string("registeredowner", &owner));
    EXPECT_EQ(owner, "x0000abcd");
    EXPECT_FALSE(again.read_string("Missing", &owner));
    EXPECT_FALSE(again.write_string("Other", "read-only key"));
    uint32_t type = 0;
    std::vector<uint8_t> data;
    ASSERT_TRUE(again.read_value("Blob/with slash", &type, &data));
    EXPECT_EQ(type, registry_key::TYPE_BINARY);
    EXPECT_EQ(data, std::vector<uint8_t>(blob, blob + sizeof blob));

    EXPECT_FALSE(key.open("HKEY_NOWHERE\\Software", false, false));
    EXPECT_EQ(key.last_error(), registry_key::ERROR_INVALID_PARAMETER);
    EXPECT_EQ(key.status(), registry_key::FAILED);
    EXPECT_FALSE(key.open("HKEY_USERS\\x", false, false, "othermachine"));
}

}  // namespace
}  // namespace voxline::test
