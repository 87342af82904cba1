#include "app_fixture.h"
#include "platform/ole_objects.h"

using tk::test::AppFixture;
using namespace tk::ole;

class ObjectServersStartTest : public AppFixture {};

// Each start registers the package server with the program's scratch folder, and the picture
// server from the plugin beside the program (the test programs share the program's folder).
TEST_F(ObjectServersStartTest, StartRegistersThePackageAndPictureServers) {
    ObjectServers& servers = ObjectServers::instance();
    servers.unregisterClass(QLatin1String(kPackageClassName));
    servers.unregisterClass(QLatin1String(kImageClassName));
    ASSERT_TRUE(start());
    EXPECT_NE(servers.find(QLatin1String(kPackageClassName)), nullptr);
    EXPECT_NE(servers.find(QLatin1String(kImageClassName)), nullptr);
    EXPECT_EQ(servers.host().scratchDir, home() + "TEMP/");
    EXPECT_TRUE(messages.requests().isEmpty());
}
