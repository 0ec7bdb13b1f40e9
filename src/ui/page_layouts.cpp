#include "ui/page_layouts.h"

#include "camera/command_table.h"

namespace ctrl::ui {
namespace {

ControlLayout Combo(int row, int id, std::string_view label, int command,
                    std::vector<ComboItem> items, int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kCombo;
  c.label = label;
  c.label_id = label_id;
  c.items = std::move(items);
  c.command = command;
  c.row = row;
  return c;
}

ControlLayout EditSpin(int row, int id, std::string_view label, int spin_id, int command,
                       int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kEditSpin;
  c.label = label;
  c.label_id = label_id;
  c.spin_id = spin_id;
  c.command = command;
  c.row = row;
  return c;
}

ControlLayout ReadOnlyEditSpin(int row, int id, std::string_view label, int spin_id, int command) {
  ControlLayout c = EditSpin(row, id, label, spin_id, command);
  c.kind = ControlKind::kReadOnlyEditSpin;
  return c;
}

ControlLayout UnitEdit(int row, int id, std::string_view label) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kUnitEdit;
  c.label = label;
  c.row = row;
  return c;
}

ControlLayout Text(int row, int id, std::string_view label, int command = -1, int cell = 1,
                   int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kText;
  c.label = label;
  c.label_id = label_id;
  c.command = command;
  c.caption = "-";
  c.row = row;
  c.cell = cell;
  return c;
}

ControlLayout Button(int row, int id, std::string_view caption, int command = -1, int cell = 1,
                     std::string_view label = {}, int label_id = 0) {
  ControlLayout c;
  c.id = id;
  c.kind = ControlKind::kButton;
  c.label = label;
  c.label_id = label_id;
  c.caption = caption;
  c.command = command;
  c.row = row;
  c.cell = cell;
  return c;
}

ControlLayout Disabled(ControlLayout c) {
  c.disabled = true;
  return c;
}

ControlLayout Hidden(ControlLayout c) {
  c.hidden = true;
  return c;
}

const std::vector<ComboItem> kOffOn = {{"Off"}, {"On"}};
const std::vector<ComboItem> kFalseTrue = {{"False"}, {"True"}};
const std::vector<ComboItem> kUserSets = {{"Default"}, {"UserSet1"}, {"UserSet2"}, {"UserSet3"}};
const std::vector<ComboItem> kClValid = {{"Low Level"}, {"FolllowLVAL"}};

PageLayout UserA() {
  PageLayout page{111, "User A", false, {}};
  page.groups.push_back(
      {0,
       "Line Trigger Control",
       0,
       {
           Combo(0, 1688, "Line Trigger Mode", 48, kOffOn),
           Combo(1, 1689, "Line Trigger Source", 49,
                 {{"CC1", 1}, {"CC2", 2}, {"CC3", 3}, {"CC4", 4}}),
           Combo(2, 1690, "Line Trigger Activation", 50,
                 {{"RisingEdge"}, {"FallingEdge"}, {"LevelHigh"}, {"LevelLow"}}),
           Combo(3, 1691, "Line Trigger Divider", 51,
                 {{"1"}, {"2"}, {"3"}, {"4"}, {"5"}, {"6"}, {"7"}, {"8"}}, 1830),
           Disabled(EditSpin(4, 1819, "Line Trigger Pre Divider", 1820, 52, 1818)),
           Disabled(Combo(5, 1822, "Line Trigger Multiplier", 53,
                          {{"Multiplier_1", 1},
                           {"Multiplier_2", 2},
                           {"Multiplier_4", 4},
                           {"Multiplier_8", 8},
                           {"Multiplier_16", 16},
                           {"Multiplier_32", 32}},
                          1821)),
           Disabled(EditSpin(6, 1824, "Line Trigger Post Divider", 1825, 54, 1823)),
       }});
  page.groups.push_back(
      {0,
       "Camera Link",
       0,
       {
           Combo(0, 1719, "Cl Configuration", 114, {{"Base", 0}, {"Full", 2}, {"EightyBit", 3}}),
           Combo(1, 1720, "Camera Link Clk Frequency", 115,
                 {{"40MHz", 40},
                  {"50MHz", 50},
                  {"60Mhz", 60},
                  {"65MHz", 65},
                  {"70MHz", 70},
                  {"80MHz", 80},
                  {"85MHz", 85}}),
           Combo(2, 1721, "Device Tap Geometry", 116,
                 {{"Geometry_1X2", 2},
                  {"Geometry_1X3", 3},
                  {"Geometry_1X8", 8},
                  {"Geometry_1X10", 10}}),
           Combo(3, 1722, "Cl FVAL", 117, kClValid, 1906),
           Combo(4, 1723, "Cl DVAL", 118, kClValid, 1907),
       }});
  page.groups.push_back(
      {0,
       "Image Format Control",
       1,
       {
           Combo(0, 1692, "Binning Horizontal", 18, {{"1 * 1binning", 1}, {"2 * 1binning", 2}},
                 1801),
           Combo(1, 1693, "Binning Horizontal Mode", 19, {{"Sum"}, {"Average"}}, 1802),
           EditSpin(2, 1694, "Offset X", 1695, 21),
           EditSpin(3, 1696, "Width", 1697, 22),
           ReadOnlyEditSpin(4, 1811, "Height", 1812, 23),
           Combo(5, 1698, "Pixel Format", 24,
                 {{"Mono8", 0x01080001}, {"Mono10P", 0x010A0046}, {"Mono12P", 0x010C0047}}),
           Text(6, 1813, "Pixel Size A"),
           Combo(7, 1699, "Reverse X", 25, kFalseTrue),
           Disabled(Combo(8, 1827, "Field Count", 26,
                          {{"single field", 1}, {"two-light field imaging", 2}}, 1826)),
           Disabled(Button(9, 1829, "Execute", 27, 1, "Field Rset", 1828)),
           Combo(10, 1700, "Test Pattern", 28,
                 {{"Off", 0},
                  {"Black", 1},
                  {"White", 2},
                  {"GreyHorizontalRamp", 3},
                  {"GreyHorizontalRampMoving", 5}}),
       }});
  page.groups.push_back({0,
                         "Acquisition Control",
                         2,
                         {
                             EditSpin(0, 1701, "Internal Line Rate", 1702, 34),
                             UnitEdit(1, 1912, ""),
                             Text(1, 1762, "", -1, 2),
                             Hidden(Text(1, 1761, "", -1, 2)),
                             Hidden(Text(1, 1763, "", -1, 2)),
                             Text(2, 1764, "Linetime MIN", 35),
                             Button(2, 1768, "Read", -1, 2),
                             Text(3, 1765, "Linetime MAX", 36),
                             Text(4, 1770, "Measured Line Rate", 37),
                             Button(4, 1773, "Read", -1, 2),
                             Text(5, 1771, "Measured Ext Trigger Rate", 38, 1, 1902),
                             Combo(6, 1703, "Exposure Mode", 29, {{"TriggerWidth"}, {"Timed"}}),
                             EditSpin(7, 1704, "Exposure Time", 1094, 30),
                             UnitEdit(8, 1913, ""),
                             Text(9, 1766, "Exposure Time Min", 32),
                             Button(9, 1769, "Read", -1, 2),
                             Text(10, 1767, "Exposure Time Max", 33),
                             Text(11, 1772, "Measured Exposure Time", 31),
                             Button(11, 1774, "Read", -1, 2),
                         }});
  return page;
}

PageLayout UserB() {
  PageLayout page{112, "User B", false, {}};
  page.groups.push_back(
      {0,
       "Flat Field Correction",
       0,
       {
           Combo(0, 1731, "FFC Enable", 67, kOffOn),
           Combo(1, 1732, "FFC Sample Frames", 68, {{"1024", 1024}, {"2048", 2048}}, 1908),
           Combo(2, 1733, "FFC User Set Selector", 69, kUserSets),
           Button(3, 1754, "Load", 70),
           Combo(4, 1910, "AWB Link", 71, kFalseTrue, 1909),
           EditSpin(5, 1734, "FFC Cal Area Start X", 1735, 72),
           EditSpin(6, 1736, "FFC Cal Area Width", 1737, 73),
           Combo(7, 1738, "FFC Cal Algorithm", 74,
                 {{"Off", 1},
                  {"1*3 Filter", 2},
                  {"1*5 Filter", 3},
                  {"1*7 Filter", 4},
                  {"1*9 Filter", 5}},
                 1905),
           Combo(8, 1739, "FFC Cal Target Mode", 75, {{"MAX"}, {"Average"}, {"Target"}}),
           EditSpin(9, 1740, "FFC Cal Target Value", 1741, 76),
           Button(10, 1755, "FFC Cal FPN", 77),
           Button(10, 1756, "FFC Cal PRNU", 78, 2),
       }});
  page.groups.push_back({0,
                         "LUT Control",
                         1,
                         {
                             Combo(0, 1742, "LUT Enable", 104, kOffOn),
                             Combo(1, 1743, "LUT Selector", 105, {{"User"}}),
                             Button(2, 1760, "Save", cmd::kLutSave),
                             Button(2, 1759, "Load", cmd::kLutLoad, 2),
                             EditSpin(3, 1744, "LUT Index", 1745, 108),
                             EditSpin(4, 1746, "LUT Value", 1747, 109),
                             Button(5, 1132, "Open LUT Table"),
                         }});
  page.groups.push_back(
      {0,
       "Analog Control",
       1,
       {
           Combo(0, 1705, "Black Level Mode", 55, {{"Normal"}, {"DeBackGround"}}),
           EditSpin(1, 1706, "Black Level", 1707, 56),
           EditSpin(2, 1708, "Digital Gain", 1709, 57),
           Combo(3, 1710, "Digital Shift", 58, {{"x1"}, {"x2"}, {"x4"}, {"x8"}, {"x16"}}),
           Combo(4, 1711, "Gamma Enable", 59, kOffOn),
           EditSpin(5, 1712, "Gamma", 1713, 60),
       }});
  page.groups.push_back(
      {1803,
       "TDI Control",
       2,
       {
           Combo(0, 1714, "TDI Stage", 61, {{"1-Stage"}, {"2-Stage"}}, 1804),
           Combo(1, 1715, "TDI Mode", 62, {{"Sum"}, {"Aver"}}, 1805),
           EditSpin(2, 1716, "TDI Parameter", 1717, 63, 1806),
           Combo(3, 1718, "TDI Row Direction", 64, {{"Reverse"}, {"Forward"}}, 1807),
       }});
  page.groups.push_back({0,
                         "",
                         2,
                         {
                             EditSpin(0, 1814, "Field 1 Gain", 1815, 65, 1808),
                             EditSpin(1, 1816, "Field 2 Gain", 1817, 66, 1809),
                         }});
  return page;
}

PageLayout UserC() {
  PageLayout page{113, "User C", false, {}};
  page.groups.push_back(
      {1850,
       "White Balance",
       0,
       {
           Combo(0, 1851, "WB Calib Mode", 86, {{"Manual", 0}, {"Once", 2}, {"Off", 3}}, 1852),
           EditSpin(1, 1854, "WB Red Gain", 1855, 87, 1853),
           EditSpin(2, 1857, "WB Blue Gain", 1858, 88, 1856),
           EditSpin(3, 1860, "WB Green Gain", 1861, 89, 1859),
           EditSpin(4, 1863, "WB Calib AOI Start X", 1864, 90, 1862),
           EditSpin(5, 1866, "WB Calib AOI Width", 1867, 91, 1865),
           Button(6, 1869, "Execute", 78, 1, "Refresh PRNU_WBGain", 1868),
       }});
  page.groups.push_back({1831,
                         "Color Skew Correction",
                         1,
                         {
                             Combo(0, 1833, "CSC Enable", 79, kOffOn, 1832),
                             Combo(1, 1835, "CSC Direction", 80, {{"Blue"}, {"Red"}}, 1834),
                             EditSpin(2, 1837, "CSC Left Skew", 1838, 81, 1836),
                             EditSpin(3, 1840, "CSC Right Skew", 1841, 82, 1839),
                         }});
  page.groups.push_back({1842,
                         "Spatial Correction",
                         1,
                         {
                             Combo(0, 1844, "SC Enable", 83, kOffOn, 1843),
                             Combo(1, 1846, "SC Direction", 84, {{"Red"}, {"Blue"}}, 1845),
                             EditSpin(2, 1848, "SC Parameter", 1849, 85, 1847),
                         }});
  GroupLayout ccm{1870,
                  "Color Transformation Control",
                  2,
                  {
                      Combo(0, 1872, "CCM Enable", 93, kOffOn, 1871),
                      Combo(1, 1874, "CCM Selector", 94, kUserSets, 1873),
                  }};
  static constexpr std::string_view kCoefficients[] = {"CCM_A11", "CCM_A12", "CCM_A13",
                                                       "CCM_A21", "CCM_A22", "CCM_A23",
                                                       "CCM_A31", "CCM_A32", "CCM_A33"};
  for (int i = 0; i < 9; ++i) {
    ccm.controls.push_back(
        EditSpin(2 + i, 1876 + 3 * i, kCoefficients[i], 1877 + 3 * i, 95 + i, 1875 + 3 * i));
  }
  page.groups.push_back(std::move(ccm));
  // The whole page belongs to colour cameras; the colour profile enables it.
  for (GroupLayout& group : page.groups) {
    for (ControlLayout& control : group.controls) control.disabled = true;
  }
  return page;
}

PageLayout UserD() {
  PageLayout page{114, "User D", false, {}};
  page.groups.push_back({0,
                         "Acquisition Control",
                         0,
                         {
                             Text(0, 1782, "Ext Trigger Dropped", 39),
                             Button(0, 1789, "Clear", 40, 2),
                             Text(1, 1783, "Ext Trigger Count", 41),
                             Button(1, 1790, "Clear", 42, 2),
                             Text(2, 1784, "Input Ext Trigger Count", 43, 1, 1903),
                             Text(3, 1785, "SOL Count", 44),
                             Text(4, 1786, "EOL Count", 45),
                             Text(5, 1787, "axidgtvalid Count", 46, 1, 1904),
                             Text(6, 1788, "Cameratvalid Count", 47),
                             Button(7, 1791, "Counter Read"),
                         }});
  page.groups.push_back({0,
                         "Device Control",
                         1,
                         {
                             Combo(0, 1724, "Device Temperature Selector", 11, {{"FPGA", 1}}),
                             Text(1, 1750, "", 12),
                             Button(1, 1749, "Read", -1, 2),
                             Combo(2, 1725, "Device Voltage Selector", 13, {{"VCCIN"}}),
                             Text(3, 1752, "", 14),
                             Button(3, 1751, "Read", -1, 2),
                         }});
  page.groups.push_back({0,
                         "",
                         1,
                         {
                             Button(0, 1810, "refresh Device State", 15),
                             Button(1, 1792, "LVDS Re Training", 16),
                             Button(2, 1800, "Device Reset", 17),
                         }});
  page.groups.push_back(
      {0,
       "Device Serial Port Control",
       2,
       {
           Combo(0, 1748, "Baud Rate", 119,
                 {{"BAUDRATE_9600", 1}, {"BAUDRATE_115200", 16}, {"BAUDRATE_460800", 64}}),
       }});
  page.groups.push_back({0,
                         "User Set Control",
                         2,
                         {
                             Combo(0, 1753, "User Set Default Selector", 113,
                                   {{"Factory"}, {"UserSet1"}, {"UserSet2"}, {"UserSet3"}}),
                         }});
  page.groups.push_back({0, "", 2, {Combo(0, 1911, "EEN Output", 123, kOffOn)}});
  return page;
}

PageLayout FactoryA() {
  PageLayout page{117, "Factory A", true, {}};
  page.groups.push_back({0,
                         "",
                         0,
                         {
                             Button(0, 1010, "Terminal"),
                             Button(1, 1012, "Camera Reset"),
                             Disabled(Button(2, 1021, "Store All")),
                         }});
  page.groups.push_back(
      {0,
       "",
       1,
       {
           Hidden(Combo(0, 1726, "cmos FFC Enable", -1, kOffOn)),
           Hidden(Combo(1, 1727, "Cmos FFC Sample Frames", -1, {{"1024", 1024}, {"2048", 2048}})),
           Hidden(Combo(2, 1728, "cmos FFC Mode", -1, {{"Off"}, {"On"}})),
           Hidden(EditSpin(3, 1729, "cmos FFC Target Value", 1730, -1)),
           Hidden(Button(4, 1757, "cmos FFC Cal FPN")),
           Hidden(Button(5, 1758, "cmos FFC Cal PRNU")),
           Hidden(ReadOnlyEditSpin(6, 1793, "Data Size", 1794, 120)),
           Hidden(ReadOnlyEditSpin(7, 1795, "Parity", 1796, 121)),
           Hidden(ReadOnlyEditSpin(8, 1797, "Stop Bits", 1798, 122)),
       }});
  return page;
}

}  // namespace

const std::vector<PageLayout>& PageLayouts() {
  static const std::vector<PageLayout> pages = {UserA(), UserB(), UserC(), UserD(), FactoryA()};
  return pages;
}

const ControlLayout* FindControlLayout(int control_id) {
  for (const PageLayout& page : PageLayouts()) {
    for (const GroupLayout& group : page.groups) {
      for (const ControlLayout& control : group.controls) {
        if (control.id == control_id) return &control;
      }
    }
  }
  return nullptr;
}

}  // namespace ctrl::ui
