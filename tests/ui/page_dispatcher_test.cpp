// The page logic without windows: each commit path must reach the camera, a value the camera
// does not confirm must come back on screen, and the follow-ups, profiles and buttons must read
// and write exactly what the operator expects.
#include "ui/page_dispatcher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fake_surface.h"
#include "support/map_channel.h"
#include "support/recording_notifier.h"
#include "ui/derived_values.h"

namespace ctrl::ui {
namespace {

class RecordingHost final : public DispatcherHost {
 public:
  void ShowTerminal() override { ++terminal_shown; }
  void OpenLutEditor() override { ++lut_opened; }
  void CloseAfterReset() override { ++closed; }
  bool FollowBaudRate(int32_t code) override {
    follow_codes.push_back(code);
    if (on_follow) on_follow();
    return follows;
  }
  int terminal_shown = 0;
  std::vector<int32_t> follow_codes;
  bool follows = true;
  std::function<void()> on_follow;
  int lut_opened = 0;
  int closed = 0;
};

class DispatcherTest : public ::testing::Test {
 protected:
  DispatcherTest()
      : channel_(clock_),
        engine_(channel_, clock_, Commands(), status_),
        dispatcher_(engine_, database_, surface_, clock_, &host_) {
    Commands().Reset();
    SetKind(ModelKind::Mono);
    dispatcher_.InitialiseSpinRanges();
    // The state after a start-up read: every control shows its synchronised value.
    database_.CommitAll();
    database_.RefreshAllControls(dispatcher_);
    for (const ParameterRow& row : database_.rows()) {
      channel_.registers[Reg(row.command_id)] = row.current_value;
    }
  }

  void SetKind(ModelKind kind, int version = 100) {
    engine_.device().kind = kind;
    engine_.device().version_number = version;
  }
  static uint32_t Reg(int command_id) { return Commands().GetCommandRegister(command_id); }
  int Writes() const {
    return static_cast<int>(
        std::count_if(channel_.requests.begin(), channel_.requests.end(),
                      [](const std::string& r) { return r.rfind("wr", 0) == 0; }));
  }
  bool Requested(const std::string& prefix, int command_id) const {
    char text[32];
    std::snprintf(text, sizeof text, "%s 0x%08X", prefix.c_str(), Reg(command_id));
    return std::any_of(channel_.requests.begin(), channel_.requests.end(),
                       [&](const std::string& r) { return r.rfind(text, 0) == 0; });
  }
  void Select(int combo_id, int index) {
    surface_.SetSelection(combo_id, index);
    dispatcher_.CommitCombo(combo_id);
  }

  FakeClock clock_;
  test::MapChannel channel_;
  OnlineStatusPublisher status_;
  Command engine_;
  ParameterDatabase database_;
  test::FakeSurface surface_;
  RecordingHost host_;
  test::RecordingNotifier notifier_;
  PageDispatcher dispatcher_;
};

// ---- Edits ----

TEST_F(DispatcherTest, EditCommitWritesTheTypedValueAndConfirmsIt) {
  surface_[1708].text = "300";
  dispatcher_.CommitEdit(1708);
  EXPECT_EQ(channel_.registers[Reg(57)], 300);
  EXPECT_EQ(database_.GetSynchronisedValue(1708), 300);
  EXPECT_EQ(surface_.SpinPosition(1709), 300);
}

TEST_F(DispatcherTest, EditTextThatIsNoIntegerInRangeShowsThePreviousValueAndWritesNothing) {
  for (const char* typed : {"abc", "5000", "12x", ""}) {
    surface_[1708].text = typed;
    dispatcher_.CommitEdit(1708);
    EXPECT_EQ(surface_.Text(1708), "256") << typed;
  }
  EXPECT_EQ(Writes(), 0);
}

TEST_F(DispatcherTest, RefusedEditShowsTheCameraValueAgainAndStaysOnline) {
  status_.Report(true);
  channel_.refused.insert(Reg(57));
  surface_[1708].text = "300";
  dispatcher_.CommitEdit(1708);
  EXPECT_EQ(surface_.Text(1708), "256");
  EXPECT_EQ(database_.GetDataValue(1708), 256);
  EXPECT_TRUE(status_.online());
}

TEST_F(DispatcherTest, SilentCameraRollsTheEditBackAndGoesOffline) {
  status_.Report(true);
  channel_.silent = true;
  surface_[1708].text = "300";
  dispatcher_.CommitEdit(1708);
  EXPECT_EQ(surface_.Text(1708), "256");
  EXPECT_FALSE(database_.rows()[database_.CtrlId2TblIndex(1708)].pending());
  EXPECT_FALSE(status_.online());
}

TEST_F(DispatcherTest, EditWithoutSpinIsNotCommitted) {
  surface_[1811].spin = 0;
  surface_[1811].text = "5";
  dispatcher_.CommitEdit(1811);
  EXPECT_EQ(channel_.requests.size(), 0u);
}

// ---- Change reports ----

class RecordingObserver final : public ChangeObserver {
 public:
  void OnParameterChange(const ParameterChange& change) override { changes.push_back(change); }
  std::vector<ParameterChange> changes;
};

// Every commit path reports what the camera did with the value, once, with the old value that
// an undo would send back; a value the camera already holds is no change.
TEST_F(DispatcherTest, EveryCommitPathReportsConfirmedAndRefusedChanges) {
  struct Case {
    const char* path;
    bool refuse;
    std::function<void()> act;
    int32_t requested;
  };
  const std::vector<Case> cases = {
      {"edit", false,
       [this] {
         surface_[1708].text = "300";
         dispatcher_.CommitEdit(1708);
       },
       300},
      {"edit refused", true,
       [this] {
         surface_[1708].text = "300";
         dispatcher_.CommitEdit(1708);
       },
       300},
      {"spin", false, [this] { dispatcher_.StepSpin(1709, 1); }, 257},
      {"spin refused", true, [this] { dispatcher_.StepSpin(1709, 1); }, 257},
      {"applied", false, [this] { dispatcher_.ApplyCommandValue(57, 123); }, 123},
      {"applied refused", true, [this] { dispatcher_.ApplyCommandValue(57, 123); }, 123},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    database_.SetDataValue(1708, 256);
    database_.CommitAll();
    dispatcher_.ShowValue(1708, 256);
    surface_.SetSpinPosition(1709, 256);
    channel_.registers[Reg(57)] = 256;
    channel_.refused.clear();
    if (c.refuse) channel_.refused.insert(Reg(57));
    RecordingObserver observer;
    dispatcher_.set_change_observer(&observer);
    c.act();
    dispatcher_.set_change_observer(nullptr);
    ASSERT_EQ(observer.changes.size(), 1u);
    const ParameterChange& change = observer.changes[0];
    EXPECT_EQ(change.command_id, 57);
    EXPECT_EQ(change.before, 256);
    EXPECT_EQ(change.requested, c.requested);
    EXPECT_EQ(change.confirmed, !c.refuse);
    EXPECT_EQ(change.after, c.refuse ? 256 : c.requested);
    EXPECT_EQ(channel_.registers[Reg(57)], change.after);
    EXPECT_EQ(surface_.Text(1708), std::to_string(change.after));
    EXPECT_EQ(surface_.SpinPosition(1709), change.after);
  }
  RecordingObserver observer;
  dispatcher_.set_change_observer(&observer);
  EXPECT_TRUE(dispatcher_.ApplyCommandValue(57, 256));
  EXPECT_TRUE(observer.changes.empty());
  dispatcher_.set_change_observer(nullptr);
}

// ---- Spins ----

TEST_F(DispatcherTest, SpinWritesBeforeItMoves) {
  EXPECT_TRUE(dispatcher_.StepSpin(1709, 1));
  EXPECT_EQ(channel_.registers[Reg(57)], 257);
  EXPECT_EQ(surface_.SpinPosition(1709), 257);
  EXPECT_EQ(surface_.Text(1708), "257");
}

TEST_F(DispatcherTest, SpinStaysWhenTheCameraDoesNotConfirm) {
  channel_.silent = true;
  EXPECT_FALSE(dispatcher_.StepSpin(1709, 1));
  EXPECT_EQ(surface_.SpinPosition(1709), 256);
  EXPECT_EQ(surface_.Text(1708), "256");
}

TEST_F(DispatcherTest, SpinStartsFromTypedTextAndStopsAtItsRange) {
  surface_[1708].text = "1000";
  dispatcher_.StepSpin(1709, 1);
  EXPECT_EQ(channel_.registers[Reg(57)], 1001);
  surface_[1708].text = "4093";
  dispatcher_.StepSpin(1709, 1);
  EXPECT_EQ(channel_.registers[Reg(57)], 4093);
  EXPECT_EQ(surface_.SpinPosition(1709), 4093);
}

TEST_F(DispatcherTest, ShowingAValueOutsideTheSpinRangeKeepsItInTheEdit) {
  dispatcher_.ShowValue(1708, 9999);
  EXPECT_EQ(surface_.Text(1708), "9999");
}

// ---- Combo boxes ----

TEST_F(DispatcherTest, ComboWritesItsItemValueOrItsIndexWhereTheValueIsZero) {
  Select(1698, 1);
  EXPECT_EQ(channel_.registers[Reg(24)], 0x010A0046);
  Select(1690, 1);  // "FallingEdge"
  EXPECT_EQ(channel_.registers[Reg(50)], 1);
  Select(1689, 1);  // "CC2"
  EXPECT_EQ(channel_.registers[Reg(49)], 2);
}

TEST_F(DispatcherTest, ShowValueSelectsByItemValueThenByIndex) {
  dispatcher_.ShowValue(1851, 0);
  EXPECT_EQ(surface_.Selection(1851), 0);  // "Manual"=0
  dispatcher_.ShowValue(1851, 3);
  EXPECT_EQ(surface_.Selection(1851), 2);  // "Off"=3
  dispatcher_.ShowValue(1851, 1);
  EXPECT_EQ(surface_.Selection(1851), 1);  // no item value 1: index 1
  dispatcher_.ShowValue(1698, 0x010C0047);
  EXPECT_EQ(surface_.Selection(1698), 2);
}

TEST_F(DispatcherTest, UnansweredComboPutsThePreviousEntryBack) {
  database_.SetDataValue(1698, 0x01080001);
  database_.CommitAll();
  dispatcher_.ShowValue(1698, 0x01080001);
  channel_.silent = true;
  Select(1698, 2);
  EXPECT_EQ(surface_.Selection(1698), 0);
  EXPECT_EQ(database_.GetDataValue(1698), 0x01080001);
}

// Catches: a Baud Rate change the PC side is not asked to follow, a follow asked for a change
// the camera did not make, and a failed follow after which the control shows the requested rate
// instead of what the camera, answering at the old rate, holds.
TEST_F(DispatcherTest, ConfirmedBaudRateChangesAreFollowed) {
  constexpr int kBaudCombo = 1748;
  constexpr int32_t k9600 = 1;
  constexpr int32_t k115200 = 16;
  struct Case {
    const char* name;
    int index;     // chosen in the combo
    bool follows;  // the host's answer
    std::vector<int32_t> asked;
    int32_t shown;  // the combo's value afterwards
  };
  const Case cases[] = {
      {"followed", 1, true, {k115200}, k115200},
      {"the rate it already has", 0, true, {}, k9600},
      {"camera answers at the old rate", 1, false, {k115200}, k9600},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    channel_.registers[Reg(cmd::kBaudRate)] = k9600;
    database_.SetDataValue(kBaudCombo, k9600);
    database_.CommitAll();
    dispatcher_.ShowValue(kBaudCombo, k9600);
    host_.follow_codes.clear();
    host_.follows = c.follows;
    // A camera that took the write but still answers at the old rate.
    host_.on_follow = [&] { channel_.registers[Reg(cmd::kBaudRate)] = k9600; };
    Select(kBaudCombo, c.index);
    EXPECT_EQ(host_.follow_codes, c.asked);
    EXPECT_EQ(dispatcher_.ReadControlValue(kBaudCombo), c.shown);
    EXPECT_EQ(database_.GetSynchronisedValue(kBaudCombo), c.shown);
  }
}

TEST_F(DispatcherTest, CheckBoxesKeepTheOperatorsChoiceEvenWhenRefused) {
  surface_[1688].category = ControlCategory::kCheckBox;
  surface_[1688].checked = true;
  channel_.silent = true;
  dispatcher_.ClickButton(1688);
  EXPECT_EQ(database_.GetSynchronisedValue(1688), 1);
}

TEST_F(DispatcherTest, RadioButtonSetsTheFirstButtonsRowToThePosition) {
  // 1688 stands in as the first button of a three-button group.
  for (int id : {1688, 1689, 1690}) {
    surface_[id].category = ControlCategory::kRadioButton;
    surface_[id].group = {1688, 1689, 1690};
  }
  dispatcher_.ClickButton(1690);
  EXPECT_EQ(channel_.registers[Reg(48)], 2);
}

// ---- Follow-ups ----

TEST_F(DispatcherTest, TwoToOneBinningLowersTheWidthLimitAndRereadsTheImageFormat) {
  channel_.registers[Reg(20)] = 4096;
  channel_.registers[Reg(22)] = 2048;
  channel_.registers[Reg(34)] = 9000;
  Select(1692, 1);
  EXPECT_EQ(surface_[1697].min, 32);
  EXPECT_EQ(surface_[1697].max, 4096);
  EXPECT_EQ(surface_[1695].max, 4096 - 32);
  EXPECT_EQ(surface_.Text(1696), "2048");
  EXPECT_EQ(database_.GetSynchronisedValue(1701), 9000);
  EXPECT_EQ(surface_.Text(1912), "112.5000us");
  Select(1692, 0);
  EXPECT_EQ(surface_[1697].min, 64);
  EXPECT_EQ(surface_[1695].max, 4096 - 64);
}

TEST_F(DispatcherTest, BlackLevelModeDecidesWhetherNegativeLevelsAreAllowed) {
  Select(1705, 1);
  EXPECT_EQ(surface_[1707].min, 0);
  Select(1705, 0);
  EXPECT_EQ(surface_[1707].min, -4095);
  EXPECT_EQ(surface_[1707].max, 4095);
}

TEST_F(DispatcherTest, PixelFormatShowsThePixelSizeAndRereadsTheLink) {
  channel_.registers[Reg(114)] = 3;
  Select(1698, 1);
  EXPECT_EQ(surface_.Text(1813), "Bpp10");
  EXPECT_EQ(surface_.Selection(1719), 2);  // "EightyBit"=3
  EXPECT_TRUE(Requested("rd", 116));
  EXPECT_TRUE(Requested("rd", 34));
}

TEST_F(DispatcherTest, LineRateChangeRereadsTheExposureTheCameraMayHaveShortened) {
  channel_.registers[Reg(30)] = 1234;
  surface_[1701].text = "16000";
  dispatcher_.CommitEdit(1701);
  EXPECT_EQ(surface_.Text(1912), "200.0000us");
  EXPECT_EQ(surface_.Text(1762), "5000.0000hz");
  EXPECT_EQ(surface_.Text(1704), "1234");
  EXPECT_EQ(surface_.Text(1913), "15.4250us");
}

TEST_F(DispatcherTest, CcmSelectorEnablesAndReadsTheMatrixOnColourCameras) {
  SetKind(ModelKind::Color);
  for (int i = 0; i < 9; ++i) channel_.registers[Reg(95 + i)] = 100 + i;
  Select(1874, 2);
  for (int i = 0; i < 9; ++i) {
    EXPECT_TRUE(surface_.IsEnabled(1876 + 3 * i));
    EXPECT_EQ(surface_.Text(1876 + 3 * i), std::to_string(100 + i));
    EXPECT_EQ(database_.GetSynchronisedValue(1876 + 3 * i), 100 + i);
  }
  EXPECT_TRUE(dispatcher_.IsCommandAvailable(95));
  channel_.requests.clear();
  Select(1874, 0);
  EXPECT_FALSE(surface_.IsEnabled(1900));
  EXPECT_FALSE(surface_.IsEnabled(1901));
  EXPECT_FALSE(Requested("rd", 95));
  EXPECT_FALSE(dispatcher_.IsCommandAvailable(95));
}

TEST_F(DispatcherTest, LutIndexEditsFollowTheSelectorOnMonochromeCameras) {
  dispatcher_.ApplyModelProfile();
  surface_[1743].items.push_back({"Other", 0});
  Select(1743, 1);
  EXPECT_FALSE(surface_.IsEnabled(1744));
  EXPECT_FALSE(surface_.IsEnabled(1746));
  channel_.registers[Reg(109)] = 77;
  Select(1743, 0);
  EXPECT_TRUE(surface_.IsEnabled(1744));
  surface_[1744].text = "12";
  dispatcher_.CommitEdit(1744);
  EXPECT_EQ(channel_.registers[Reg(108)], 12);
  EXPECT_EQ(surface_.Text(1746), "77");
}

// ---- Model profiles ----

TEST_F(DispatcherTest, ColourProfileSwapsTheListsAndIsStableWhenRepeated) {
  SetKind(ModelKind::Color);
  dispatcher_.ApplyModelProfile();
  dispatcher_.ApplyModelProfile();
  using Texts = std::vector<std::string>;
  EXPECT_EQ(surface_.ItemTexts(1698), (Texts{"Mono8", "RGB8"}));
  EXPECT_EQ(surface_[1698].items[1].second, 0x02180014);
  EXPECT_EQ(surface_.ItemTexts(1743), (Texts{"Green", "Blue", "Red"}));
  EXPECT_EQ(surface_.ItemTexts(1719), (Texts{"Base", "EightyBit"}));
  EXPECT_EQ(surface_[1719].items[1].second, 3);
  EXPECT_EQ(surface_.ItemTexts(1721),
            (Texts{"Geometry_1X1 ", "Geometry_1X2", "Geometry_1X3", "Geometry_1X10"}));
  EXPECT_EQ(surface_[1721].items[0].second, 1);
  EXPECT_EQ(surface_.ItemTexts(1700).back(), "ColorBar");
  EXPECT_EQ(surface_[1700].items.back().second, 7);
}

TEST_F(DispatcherTest, MonoProfileAfterColourRestoresTheMonochromeLists) {
  SetKind(ModelKind::Color);
  dispatcher_.ApplyModelProfile();
  SetKind(ModelKind::Mono);
  dispatcher_.ApplyModelProfile();
  using Texts = std::vector<std::string>;
  EXPECT_EQ(surface_.ItemTexts(1698), (Texts{"Mono8", "Mono10P", "Mono12P"}));
  EXPECT_EQ(surface_[1698].items[2].second, 0x010C0047);
  EXPECT_EQ(surface_.ItemTexts(1743), (Texts{"User"}));
  const std::vector<std::string> patterns = surface_.ItemTexts(1700);
  EXPECT_EQ(std::count(patterns.begin(), patterns.end(), std::string("ColorBar")), 0);
}

// Cameras of several kinds in one run, in any order: each kind's lists (texts and item values)
// are its own, and choosing an entry writes that entry's value.
TEST_F(DispatcherTest, EachKindOffersItsOwnListsWhateverKindsCameBefore) {
  using Items = std::vector<std::pair<std::string, int32_t>>;
  struct Kind {
    ModelKind kind;
    int version;
    std::map<int, Items> lists;
  };
  const Items patterns{{"Off", 0},
                       {"Black", 1},
                       {"White", 2},
                       {"GreyHorizontalRamp", 3},
                       {"GreyHorizontalRampMoving", 5}};
  Items colour_patterns = patterns;
  colour_patterns.push_back({"ColorBar", 7});
  const Items mono_taps{
      {"Geometry_1X2", 2}, {"Geometry_1X3", 3}, {"Geometry_1X8", 8}, {"Geometry_1X10", 10}};
  const Kind mono{
      ModelKind::Mono,
      100,
      {{1698, {{"Mono8", 0x01080001}, {"Mono10P", 0x010A0046}, {"Mono12P", 0x010C0047}}},
       {1700, patterns},
       {1743, {{"User", 0}}},
       {1719, {{"Base", 0}, {"Full", 2}, {"EightyBit", 3}}},
       {1721, mono_taps}}};
  const Kind colour{
      ModelKind::Color,
      100,
      {{1698, {{"Mono8", 0x01080001}, {"RGB8", 0x02180014}}},
       {1700, colour_patterns},
       {1743, {{"Green", 0}, {"Blue", 0}, {"Red", 0}}},
       {1719, {{"Base", 0}, {"EightyBit", 3}}},
       {1721,
        {{"Geometry_1X1 ", 1}, {"Geometry_1X2", 2}, {"Geometry_1X3", 3}, {"Geometry_1X10", 10}}}}};
  Kind old_wide{ModelKind::WideMono, 199, mono.lists};
  old_wide.lists[1719] = {{"Base", 0}, {"EightyBit", 3}};
  Kind wide = old_wide;
  wide.version = 200;
  wide.lists[1698] = {{"Mono8", 0x01080001}, {"Mono10P", 0x010A0046}};

  const std::vector<std::vector<const Kind*>> runs{
      {&colour, &mono},          {&wide, &mono},   {&old_wide, &wide, &old_wide},
      {&mono, &colour, &mono},   {&colour, &wide}, {&wide, &colour, &old_wide, &mono},
      {&colour, &colour, &mono}, {&mono, &mono}};
  for (size_t run = 0; run < runs.size(); ++run) {
    Commands().Reset();
    test::FakeSurface fresh;
    surface_ = fresh;
    for (size_t step = 0; step < runs[run].size(); ++step) {
      const Kind& kind = *runs[run][step];
      SCOPED_TRACE("run " + std::to_string(run) + " step " + std::to_string(step));
      SetKind(kind.kind, kind.version);
      dispatcher_.ApplyModelProfile();
      for (const auto& [combo_id, items] : kind.lists) {
        EXPECT_EQ(surface_[combo_id].items, items) << "combo " << combo_id;
      }
      const Items& cl = surface_[1719].items;
      const auto eighty = std::find_if(cl.begin(), cl.end(),
                                       [](const auto& item) { return item.first == "EightyBit"; });
      ASSERT_NE(eighty, cl.end());
      Select(1719, static_cast<int>(eighty - cl.begin()));
      EXPECT_EQ(channel_.registers[Reg(114)], 3);
    }
  }
}

TEST_F(DispatcherTest, WideCamerasOfVersionTwoOfferNoMono12p) {
  SetKind(ModelKind::WideMono, 200);
  dispatcher_.ApplyModelProfile();
  EXPECT_EQ(surface_.ItemTexts(1698), (std::vector<std::string>{"Mono8", "Mono10P"}));
  SetKind(ModelKind::WideMono, 199);
  dispatcher_.ApplyModelProfile();
  EXPECT_EQ(surface_.ItemTexts(1698).back(), "Mono12P");
}

TEST_F(DispatcherTest, ProfilesEnableTheFeaturesOfEachKind) {
  struct Expect {
    int id;
    bool mono, color, wide;
  };
  const Expect expected[] = {
      {1771, true, false, false}, {1902, true, false, false}, {1784, true, true, false},
      {1691, true, true, false},  {1819, false, false, true}, {1820, false, false, true},
      {1827, false, false, true}, {1716, true, false, true},  {1803, true, false, true},
      {1814, false, false, true}, {1910, false, true, false}, {1833, false, true, false},
      {1851, false, true, false}, {1874, false, true, false}, {1722, true, false, false},
      {1738, true, true, false}};
  for (ModelKind kind : {ModelKind::Mono, ModelKind::Color, ModelKind::WideMono}) {
    SetKind(kind);
    dispatcher_.ApplyModelProfile();
    for (const Expect& e : expected) {
      bool want = kind == ModelKind::Mono ? e.mono : kind == ModelKind::Color ? e.color : e.wide;
      EXPECT_EQ(surface_.IsEnabled(e.id), want) << e.id << " kind " << static_cast<int>(kind);
    }
  }
}

TEST_F(DispatcherTest, WideProfileMovesRegistersAndWidensTheFlatFieldArea) {
  SetKind(ModelKind::WideMono);
  dispatcher_.ApplyModelProfile();
  EXPECT_EQ(Commands().GetCommandAddress(55), "0x0120C054");
  EXPECT_EQ(surface_[1737].max, 16384);
  SetKind(ModelKind::Mono);
  dispatcher_.ApplyModelProfile();
  EXPECT_EQ(surface_[1735].max, 8192);
  EXPECT_EQ(surface_[1737].min, 16);
}

TEST_F(DispatcherTest, UnsupportedModelKeepsTheTemplateState) {
  SetKind(ModelKind::Unsupported);
  dispatcher_.ApplyModelProfile();
  EXPECT_FALSE(surface_.IsEnabled(1819));
  EXPECT_EQ(surface_.ItemCount(1698), 3);
}

// ---- Unit edits ----

TEST_F(DispatcherTest, LineTimeTypedInMicrosecondsIsWrittenAsTicks) {
  surface_[1912].text = "50";
  dispatcher_.CommitEdit(1912);
  EXPECT_EQ(channel_.registers[Reg(34)], 4000);
  EXPECT_EQ(surface_.Text(1701), "4000");
  EXPECT_TRUE(Requested("rd", 30));
}

TEST_F(DispatcherTest, UnitEditsEqualToTheCameraValueOnlyRedisplay) {
  surface_[1912].text = "100";
  dispatcher_.CommitEdit(1912);
  surface_[1913].text = "50.0";
  dispatcher_.CommitEdit(1913);
  EXPECT_EQ(channel_.requests.size(), 0u);
  EXPECT_EQ(surface_.Text(1912), "100.0000us");
  EXPECT_EQ(surface_.Text(1913), "50.0000us");
}

TEST_F(DispatcherTest, RefusedExposureTimeShowsTheCameraExposureAgain) {
  channel_.refused.insert(Reg(30));
  surface_[1913].text = "20";
  dispatcher_.CommitEdit(1913);
  EXPECT_EQ(surface_.Text(1704), "4000");
  EXPECT_EQ(surface_.Text(1913), "50.0000us");
}

// ---- Buttons and readouts ----

TEST_F(DispatcherTest, ReadoutsShowTheirFormats) {
  channel_.registers[Reg(12)] = 2450;
  channel_.registers[Reg(14)] = 1234;
  channel_.registers[Reg(35)] = 100;
  channel_.registers[Reg(36)] = 200;
  dispatcher_.ClickButton(1749);
  dispatcher_.ClickButton(1751);
  dispatcher_.ClickButton(1768);
  EXPECT_EQ(surface_.Text(1750), "45.0");
  EXPECT_EQ(surface_.Text(1752), "1.234V");
  EXPECT_EQ(surface_.Text(1764), "100");
  EXPECT_EQ(surface_.Text(1765), "200");
}

TEST_F(DispatcherTest, FailedFirstLimitReadLeavesBothLimitsUnchanged) {
  channel_.silent = true;
  dispatcher_.ClickButton(1768);
  EXPECT_EQ(surface_.Text(1764), "-");
  EXPECT_EQ(surface_.Text(1765), "-");
  EXPECT_EQ(channel_.requests.size(), 1u);
}

TEST_F(DispatcherTest, CounterReadSkipsTheCountersAKindDoesNotHave) {
  SetKind(ModelKind::WideMono);
  dispatcher_.ClickButton(1791);
  EXPECT_FALSE(Requested("rd", 43));
  EXPECT_FALSE(Requested("rd", 46));
  EXPECT_TRUE(Requested("rd", 47));
  SetKind(ModelKind::Mono);
  dispatcher_.ClickButton(1791);
  EXPECT_TRUE(Requested("rd", 46));
}

TEST_F(DispatcherTest, CalibrationButtonsReportTheirResult) {
  dispatcher_.ClickButton(1755);
  channel_.refused.insert(Reg(78));
  dispatcher_.ClickButton(1756);
  ASSERT_EQ(notifier_.messages.size(), 2u);
  EXPECT_EQ(notifier_.messages[0].text, "Completed");
  EXPECT_EQ(notifier_.messages[0].icon, MessageIcon::Information);
  EXPECT_EQ(notifier_.messages[1].text, "Error");
  EXPECT_EQ(notifier_.messages[1].icon, MessageIcon::Error);
}

TEST_F(DispatcherTest, ClearButtonsComplainOnlyOnFailure) {
  dispatcher_.ClickButton(1789);
  EXPECT_EQ(channel_.registers[Reg(40)], 1);
  EXPECT_TRUE(notifier_.messages.empty());
  channel_.silent = true;
  dispatcher_.ClickButton(1790);
  ASSERT_EQ(notifier_.messages.size(), 1u);
  EXPECT_EQ(notifier_.messages[0].text, "Error");
}

TEST_F(DispatcherTest, DeviceResetAsksFirstAndClosesOnlyOnYes) {
  dispatcher_.ClickButton(1800);
  EXPECT_EQ(Writes(), 0);
  EXPECT_EQ(host_.closed, 0);
  notifier_.answers.push_back(true);
  dispatcher_.ClickButton(1012);
  ASSERT_EQ(notifier_.questions.size(), 2u);
  EXPECT_EQ(notifier_.questions[1].text,
            "Are you sure to terminate the Camera Control Tool and reset the camera ?");
  EXPECT_EQ(notifier_.questions[1].caption, "Confirm");
  EXPECT_EQ(channel_.registers[Reg(17)], 1);
  EXPECT_EQ(host_.closed, 1);
}

// ---- Derived values ----

TEST(DerivedValues, LineTimingAtBothTickLengths) {
  DeviceModel wide{ModelKind::WideMono, "QX-8192M-PCL", 200};
  DeviceModel old_wide{ModelKind::WideMono, "QX-8192M-PCL", 199};
  EXPECT_DOUBLE_EQ(TickLengthNs(old_wide), 12.5);
  EXPECT_EQ(FormatLineTime(8000, 12.5), "100.0000us");
  EXPECT_EQ(FormatLineFrequency(8000, 12.5), "10000.0000hz");
  EXPECT_EQ(FormatLineTime(8000, TickLengthNs(wide)), "83.3333us");
  EXPECT_EQ(FormatLineFrequency(8000, TickLengthNs(wide)), "12000.0000hz");
  EXPECT_EQ(FormatLineTime(0, 12.5), "0.0000us");
  EXPECT_EQ(FormatLineFrequency(0, 12.5), "0.0000hz");
}

TEST(DerivedValues, MicrosecondsToTicksTruncates) {
  const double wide_tick = 10.4166666667;
  EXPECT_EQ(TicksFromMicroseconds("100", 12.5), 8000);
  EXPECT_EQ(TicksFromMicroseconds("100", wide_tick), 9600);
  EXPECT_EQ(TicksFromMicroseconds("83.3333", wide_tick), 7999);
  EXPECT_EQ(TicksFromMicroseconds("abc", 12.5), 0);
  EXPECT_EQ(TicksFromMicroseconds("1e30", 12.5), INT32_MAX);
}

TEST(DerivedValues, SensorReadoutsAndPixelSize) {
  EXPECT_EQ(FormatTemperature(2450), "45.0");
  EXPECT_EQ(FormatTemperature(1900), "-10.0");
  EXPECT_EQ(FormatVoltage(1234), "1.234V");
  EXPECT_EQ(FormatPixelSize(0x02180014), "Bpp24");
  EXPECT_EQ(FormatPixelSize(0x010C0047), "Bpp12");
}

TEST(DerivedValues, StrictIntegersForSpinsLeadingIntegersForEdits) {
  int32_t value = 0;
  EXPECT_TRUE(ParseInteger(" -42 ", value));
  EXPECT_EQ(value, -42);
  EXPECT_FALSE(ParseInteger("4x", value));
  EXPECT_FALSE(ParseInteger("-", value));
  EXPECT_FALSE(ParseInteger("2147483648", value));
  EXPECT_TRUE(ParseInteger("-2147483648", value));
  EXPECT_EQ(LeadingInteger("12abc"), 12);
  EXPECT_EQ(LeadingInteger("abc"), 0);
}

}  // namespace
}  // namespace ctrl::ui
