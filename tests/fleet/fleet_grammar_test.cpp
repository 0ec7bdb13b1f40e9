// What the agent and the fleet commands accept from the outside before anything reaches a
// camera: requests, camera specs, broker addresses, topics and selections.
#include <gtest/gtest.h>

#include <string>

#include "agent/camera_spec.h"
#include "agent/operations.h"
#include "fleet/fleet_protocol.h"
#include "fleet/mqtt_client.h"

namespace ctrl {
namespace {

using fleet::Json;

// A request that would run something it should not, or crash the agent, is refused with a
// reason; a sound one passes.
TEST(FleetRequestTest, OnlyWellFormedRequestsOfTheListedOperationsPass) {
  struct Case {
    const char* request;
    const char* error_part;  // empty: the request is sound
  };
  const Case cases[] = {
      {R"({"id":"1","op":"get","feature":"Exposure Time"})", ""},
      {R"({"id":"1","op":"get","feature":"0x01001010"})", ""},
      {R"({"id":"1","op":"set","feature":"exposure time","value":4000})", ""},
      {R"({"id":"1","op":"set","feature":"Exposure Mode","value":"Timed"})", ""},
      {R"({"id":"1","op":"userset","action":"store","area":2})", ""},
      {R"({"id":"1","op":"userset","action":"show"})", ""},
      {R"({"id":"1","op":"lut-read","table":"green"})", ""},
      {R"({"id":"1","op":"load-settings","content":"0x01001010=4000\n"})", ""},
      {R"([1,2])", "not a JSON object"},
      {R"({"op":"get","feature":"Exposure Time"})", "\"id\""},
      {R"({"id":"","op":"dump"})", "\"id\""},
      {R"({"id":"a b","op":"dump"})", "\"id\""},
      {R"({"id":7,"op":"dump"})", "\"id\""},
      {R"({"id":"1"})", "no \"op\""},
      {R"({"id":"1","op":"reboot"})", "not an operation"},
      {R"({"id":"1","op":"terminal"})", "not an operation"},
      {R"({"id":"1","op":"get"})", "\"feature\""},
      {R"({"id":"1","op":"get","feature":"No Such Thing"})", "Unknown parameter"},
      {R"({"id":"1","op":"set","feature":"Exposure Time"})", "\"value\""},
      {R"({"id":"1","op":"set","feature":"Exposure Time","value":1.5})", "\"value\""},
      {R"({"id":"1","op":"dump","path":"/etc/passwd"})", "not an argument of dump"},
      {R"({"id":"1","op":"load-settings"})", "\"content\""},
      {R"({"id":"1","op":"userset","action":"load"})", "needs an \"area\""},
      {R"({"id":"1","op":"userset","action":"load","area":4})", "needs an \"area\""},
      {R"({"id":"1","op":"userset","action":"erase","area":1})", "load, store or show"},
      {R"({"id":"1","op":"lut-write","content":"","table":"purple"})", "red, green, blue or all"},
  };
  for (const Case& c : cases) {
    const std::string error = agent::CheckRequest(Json::parse(c.request));
    if (std::string(c.error_part).empty()) {
      EXPECT_EQ(error, "") << c.request;
    } else {
      EXPECT_NE(error.find(c.error_part), std::string::npos) << c.request << " → " << error;
    }
  }
  // Content beyond the bound is refused before it is written anywhere.
  Json huge = {{"id", "1"}, {"op", "diff"},
               {"content", std::string(agent::kMaxRequestContent + 1, 'x')}};
  EXPECT_NE(agent::CheckRequest(huge).find("longer than"), std::string::npos);
}

TEST(FleetSpecTest, CameraSpecsNameOnePortOrASimulatedCamera) {
  struct Case {
    const char* text;
    bool ok;
    bool simulated;
    PortCategory category;
    int index;
    const char* device;
  };
  const Case cases[] = {
      {"a=sim:QX-4096M-PCL", true, true, PortCategory::kComPort, 0, ""},
      {"a=sim:QX-8192M-PCL:reply_delay_us=2000,unsigned_replies", true, true,
       PortCategory::kComPort, 0, ""},
      {"line-1.left=/dev/ttyUSB0", true, false, PortCategory::kComPort, 0, "/dev/ttyUSB0"},
      {"a=COM3", true, false, PortCategory::kComPort, 2, ""},
      {"a=cl2000:0", true, false, PortCategory::kClSerial2000, 0, ""},
      {"a=cl2001:3", true, false, PortCategory::kClSerial2001, 3, ""},
      {"a=cl11:1", true, false, PortCategory::kClSerialV11, 1, ""},
      {"a", false, false, PortCategory::kComPort, 0, ""},
      {"=sim:QX-4096M-PCL", false, false, PortCategory::kComPort, 0, ""},
      {"a/b=sim:QX-4096M-PCL", false, false, PortCategory::kComPort, 0, ""},
      {"a+=sim:QX-4096M-PCL", false, false, PortCategory::kComPort, 0, ""},
      {"a=sim:QX-9999", false, false, PortCategory::kComPort, 0, ""},
      {"a=sim:QX-4096M-PCL:melt", false, false, PortCategory::kComPort, 0, ""},
      {"a=COM0", false, false, PortCategory::kComPort, 0, ""},
      {"a=COM17", false, false, PortCategory::kComPort, 0, ""},
      {"a=cl2000:", false, false, PortCategory::kComPort, 0, ""},
      {"a=cl2000:99999999999999999999", false, false, PortCategory::kComPort, 0, ""},
      {"a=ttyUSB0", false, false, PortCategory::kComPort, 0, ""},
  };
  for (const Case& c : cases) {
    std::string error;
    const auto spec = agent::ParseCameraSpec(c.text, error);
    ASSERT_EQ(spec.has_value(), c.ok) << c.text << " → " << error;
    if (!spec) {
      EXPECT_FALSE(error.empty()) << c.text;
      continue;
    }
    EXPECT_EQ(spec->simulated, c.simulated) << c.text;
    if (c.simulated) continue;
    EXPECT_EQ(spec->port.category, c.category) << c.text;
    EXPECT_EQ(spec->port.port_index, c.index) << c.text;
    EXPECT_EQ(spec->port.device, c.device) << c.text;
  }
}

TEST(FleetAddressTest, BrokerUrlsTopicsAndSelections) {
  struct Url {
    const char* text;
    bool ok;
    const char* host;
    int port;
    bool tls;
  };
  for (const Url& u : {Url{"mqtt://broker", true, "broker", 1883, false},
                       Url{"mqtt://10.0.0.2:1884/", true, "10.0.0.2", 1884, false},
                       Url{"mqtts://broker.example", true, "broker.example", 8883, true},
                       Url{"mqtt://[::1]:1900", true, "::1", 1900, false},
                       Url{"tcp://broker:1883", false, "", 0, false},
                       Url{"mqtt://", false, "", 0, false},
                       Url{"mqtt://broker:0", false, "", 0, false},
                       Url{"mqtt://broker:70000", false, "", 0, false},
                       Url{"mqtt://broker:12ab", false, "", 0, false},
                       Url{"mqtt://user@broker", false, "", 0, false}}) {
    fleet::BrokerOptions options;
    std::string error;
    ASSERT_EQ(fleet::ParseBrokerUrl(u.text, options, error), u.ok) << u.text;
    if (!u.ok) continue;
    EXPECT_EQ(options.host, u.host) << u.text;
    EXPECT_EQ(options.port, u.port) << u.text;
    EXPECT_EQ(options.tls, u.tls) << u.text;
  }

  // A request may only send the agent's reply under reply/: never onto another station's topics.
  EXPECT_TRUE(fleet::IsReplyTopic("ctrltool/v1/reply/cli-1"));
  EXPECT_FALSE(fleet::IsReplyTopic("ctrltool/v1/reply/"));
  EXPECT_FALSE(fleet::IsReplyTopic("ctrltool/v1/st1/a/state"));
  EXPECT_FALSE(fleet::IsReplyTopic("ctrltool/v1/reply/#"));
  EXPECT_FALSE(fleet::IsReplyTopic("ctrltool/v1/reply/+/x"));
  EXPECT_FALSE(fleet::IsReplyTopic(""));

  auto parts = fleet::ParseCameraTopic("ctrltool/v1/st1/cam-2/state");
  ASSERT_TRUE(parts);
  EXPECT_EQ(parts->station, "st1");
  EXPECT_EQ(parts->camera, "cam-2");
  EXPECT_EQ(parts->leaf, "state");
  EXPECT_FALSE(fleet::ParseCameraTopic("ctrltool/v1/st1/agent"));
  EXPECT_FALSE(fleet::ParseCameraTopic("ctrltool/v1/st1/a/b/state"));
  EXPECT_EQ(fleet::ParseAgentTopic("ctrltool/v1/st1/agent").value_or(""), "st1");

  struct Pick {
    const char* where;
    bool ok;
    bool matches;  // st1 / left / QX-4096TR-PCL / 4C21030342
  };
  for (const Pick& p : {Pick{"", true, true},
                        Pick{"station=st1", true, true},
                        Pick{"station=st2", true, false},
                        Pick{"station=st2,station=st1", true, true},
                        Pick{"station=st1,camera=right", true, false},
                        Pick{"model=QX-4096*", true, true},
                        Pick{"model=*TR-PCL,serial=4C2103034?", true, true},
                        Pick{"model=QX-8192*", true, false},
                        Pick{"colour=red", false, false},
                        Pick{"station", false, false}}) {
    fleet::Selection selection;
    std::string error;
    ASSERT_EQ(selection.Parse(p.where, error), p.ok) << p.where;
    if (!p.ok) continue;
    EXPECT_EQ(selection.Matches("st1", "left", "QX-4096TR-PCL", "4C21030342"), p.matches)
        << p.where;
  }
}

}  // namespace
}  // namespace ctrl
