#pragma once

// Ids of the controls of the parameter pages: the bound controls the parameter database keys its
// rows by, their spins, labels and group boxes that other code enables, readout texts and
// buttons. Every id is written here and nowhere else.
namespace ctrl::control {

// ---- User A: line trigger and Camera Link ----
inline constexpr int kLineTriggerMode = 1688;
inline constexpr int kLineTriggerSource = 1689;
inline constexpr int kLineTriggerActivation = 1690;
inline constexpr int kLineTriggerDivider = 1691;
inline constexpr int kLineTriggerDividerLabel = 1830;
inline constexpr int kLineTriggerPreDividerLabel = 1818;
inline constexpr int kLineTriggerPreDivider = 1819;
inline constexpr int kLineTriggerPreDividerSpin = 1820;
inline constexpr int kLineTriggerMultiplierLabel = 1821;
inline constexpr int kLineTriggerMultiplier = 1822;
inline constexpr int kLineTriggerPostDividerLabel = 1823;
inline constexpr int kLineTriggerPostDivider = 1824;
inline constexpr int kLineTriggerPostDividerSpin = 1825;
inline constexpr int kClConfiguration = 1719;
inline constexpr int kClClockFrequency = 1720;
inline constexpr int kTapGeometry = 1721;
inline constexpr int kClFval = 1722;
inline constexpr int kClDval = 1723;
inline constexpr int kClFvalLabel = 1906;
inline constexpr int kClDvalLabel = 1907;

// ---- User A: image format ----
inline constexpr int kBinning = 1692;
inline constexpr int kBinningMode = 1693;
inline constexpr int kBinningLabel = 1801;
inline constexpr int kBinningModeLabel = 1802;
inline constexpr int kOffsetX = 1694;
inline constexpr int kOffsetXSpin = 1695;
inline constexpr int kWidth = 1696;
inline constexpr int kWidthSpin = 1697;
inline constexpr int kHeight = 1811;
inline constexpr int kHeightSpin = 1812;
inline constexpr int kPixelFormat = 1698;
inline constexpr int kPixelSizeText = 1813;
inline constexpr int kReverseX = 1699;
inline constexpr int kFieldCountLabel = 1826;
inline constexpr int kFieldCount = 1827;
inline constexpr int kFieldResetLabel = 1828;
inline constexpr int kFieldResetButton = 1829;
inline constexpr int kTestPattern = 1700;

// ---- User A: acquisition ----
inline constexpr int kLineRate = 1701;
inline constexpr int kLineRateSpin = 1702;
inline constexpr int kLineTimeEdit = 1912;
inline constexpr int kLineFrequencyText = 1762;
inline constexpr int kUnusedText1 = 1761;
inline constexpr int kUnusedText2 = 1763;
inline constexpr int kLineTimeMinText = 1764;
inline constexpr int kLineTimeMaxText = 1765;
inline constexpr int kLineTimeLimitsButton = 1768;
inline constexpr int kMeasuredLineRateText = 1770;
inline constexpr int kMeasuredExtTriggerRateText = 1771;
inline constexpr int kMeasuredExtTriggerRateLabel = 1902;
inline constexpr int kMeasuredRatesButton = 1773;
inline constexpr int kExposureMode = 1703;
inline constexpr int kExposureTime = 1704;
inline constexpr int kExposureTimeSpin = 1094;
inline constexpr int kExposureTimeEdit = 1913;
inline constexpr int kExposureMinText = 1766;
inline constexpr int kExposureMaxText = 1767;
inline constexpr int kExposureLimitsButton = 1769;
inline constexpr int kMeasuredExposureText = 1772;
inline constexpr int kMeasuredExposureButton = 1774;

// ---- User B: flat field correction ----
inline constexpr int kFfcEnable = 1731;
inline constexpr int kFfcSampleFrames = 1732;
inline constexpr int kFfcSampleFramesLabel = 1908;
inline constexpr int kFfcUserSetSelector = 1733;
inline constexpr int kFfcUserSetLoadButton = 1754;
inline constexpr int kAwbLinkLabel = 1909;
inline constexpr int kAwbLink = 1910;
inline constexpr int kFfcCalAreaStartX = 1734;
inline constexpr int kFfcCalAreaStartXSpin = 1735;
inline constexpr int kFfcCalAreaWidth = 1736;
inline constexpr int kFfcCalAreaWidthSpin = 1737;
inline constexpr int kFfcCalAlgorithm = 1738;
inline constexpr int kFfcCalAlgorithmLabel = 1905;
inline constexpr int kFfcCalTargetMode = 1739;
inline constexpr int kFfcCalTargetValue = 1740;
inline constexpr int kFfcCalTargetValueSpin = 1741;
inline constexpr int kFfcCalFpnButton = 1755;
inline constexpr int kFfcCalPrnuButton = 1756;

// ---- User B: LUT, analog, TDI, fields ----
inline constexpr int kLutEnable = 1742;
inline constexpr int kLutSelector = 1743;
inline constexpr int kLutIndex = 1744;
inline constexpr int kLutIndexSpin = 1745;
inline constexpr int kLutValue = 1746;
inline constexpr int kLutValueSpin = 1747;
inline constexpr int kLutLoadButton = 1759;
inline constexpr int kLutSaveButton = 1760;
inline constexpr int kOpenLutTableButton = 1132;
inline constexpr int kBlackLevelMode = 1705;
inline constexpr int kBlackLevel = 1706;
inline constexpr int kBlackLevelSpin = 1707;
inline constexpr int kDigitalGain = 1708;
inline constexpr int kDigitalGainSpin = 1709;
inline constexpr int kDigitalShift = 1710;
inline constexpr int kGammaEnable = 1711;
inline constexpr int kGamma = 1712;
inline constexpr int kGammaSpin = 1713;
inline constexpr int kTdiGroup = 1803;
inline constexpr int kTdiStageLabel = 1804;
inline constexpr int kTdiModeLabel = 1805;
inline constexpr int kTdiParameterLabel = 1806;
inline constexpr int kTdiRowDirectionLabel = 1807;
inline constexpr int kTdiStage = 1714;
inline constexpr int kTdiMode = 1715;
inline constexpr int kTdiParameter = 1716;
inline constexpr int kTdiParameterSpin = 1717;
inline constexpr int kTdiRowDirection = 1718;
inline constexpr int kField1GainLabel = 1808;
inline constexpr int kField2GainLabel = 1809;
inline constexpr int kField1Gain = 1814;
inline constexpr int kField1GainSpin = 1815;
inline constexpr int kField2Gain = 1816;
inline constexpr int kField2GainSpin = 1817;

// ---- User C: colour processing ----
inline constexpr int kColourSkewGroup = 1831;
inline constexpr int kCscEnableLabel = 1832;
inline constexpr int kCscEnable = 1833;
inline constexpr int kCscDirectionLabel = 1834;
inline constexpr int kCscDirection = 1835;
inline constexpr int kCscLeftSkewLabel = 1836;
inline constexpr int kCscLeftSkew = 1837;
inline constexpr int kCscLeftSkewSpin = 1838;
inline constexpr int kCscRightSkewLabel = 1839;
inline constexpr int kCscRightSkew = 1840;
inline constexpr int kCscRightSkewSpin = 1841;
inline constexpr int kSpatialCorrectionGroup = 1842;
inline constexpr int kScEnableLabel = 1843;
inline constexpr int kScEnable = 1844;
inline constexpr int kScDirectionLabel = 1845;
inline constexpr int kScDirection = 1846;
inline constexpr int kScParameterLabel = 1847;
inline constexpr int kScParameter = 1848;
inline constexpr int kScParameterSpin = 1849;
inline constexpr int kWhiteBalanceGroup = 1850;
inline constexpr int kWbCalibMode = 1851;
inline constexpr int kWbCalibModeLabel = 1852;
inline constexpr int kWbRedGainLabel = 1853;
inline constexpr int kWbRedGain = 1854;
inline constexpr int kWbRedGainSpin = 1855;
inline constexpr int kWbBlueGainLabel = 1856;
inline constexpr int kWbBlueGain = 1857;
inline constexpr int kWbBlueGainSpin = 1858;
inline constexpr int kWbGreenGainLabel = 1859;
inline constexpr int kWbGreenGain = 1860;
inline constexpr int kWbGreenGainSpin = 1861;
inline constexpr int kWbCalibAoiStartXLabel = 1862;
inline constexpr int kWbCalibAoiStartX = 1863;
inline constexpr int kWbCalibAoiStartXSpin = 1864;
inline constexpr int kWbCalibAoiWidthLabel = 1865;
inline constexpr int kWbCalibAoiWidth = 1866;
inline constexpr int kWbCalibAoiWidthSpin = 1867;
inline constexpr int kRefreshPrnuWbGainLabel = 1868;
inline constexpr int kRefreshPrnuWbGainButton = 1869;
inline constexpr int kColourTransformGroup = 1870;
inline constexpr int kCcmEnableLabel = 1871;
inline constexpr int kCcmEnable = 1872;
inline constexpr int kCcmSelectorLabel = 1873;
inline constexpr int kCcmSelector = 1874;
// The nine matrix coefficients A11..A33 follow in row order, three ids each: label, edit, spin.
inline constexpr int kCcmCoefficientCount = 9;
inline constexpr int CcmCoefficientLabel(int index) {
  return 1875 + 3 * index;
}
inline constexpr int CcmCoefficient(int index) {
  return 1876 + 3 * index;
}
inline constexpr int CcmCoefficientSpin(int index) {
  return 1877 + 3 * index;
}
inline constexpr int kLastCcmCoefficientSpin = CcmCoefficientSpin(kCcmCoefficientCount - 1);

// ---- User D: counters, device, serial port, user sets ----
inline constexpr int kExtTriggerDroppedText = 1782;
inline constexpr int kExtTriggerCountText = 1783;
inline constexpr int kInputExtTriggerCountText = 1784;
inline constexpr int kInputExtTriggerCountLabel = 1903;
inline constexpr int kSolCountText = 1785;
inline constexpr int kEolCountText = 1786;
inline constexpr int kAxiValidCountText = 1787;
inline constexpr int kAxiValidCountLabel = 1904;
inline constexpr int kCameraValidCountText = 1788;
inline constexpr int kExtTriggerDroppedClearButton = 1789;
inline constexpr int kExtTriggerCountClearButton = 1790;
inline constexpr int kCounterReadButton = 1791;
inline constexpr int kTemperatureSelector = 1724;
inline constexpr int kVoltageSelector = 1725;
inline constexpr int kTemperatureReadButton = 1749;
inline constexpr int kTemperatureText = 1750;
inline constexpr int kVoltageReadButton = 1751;
inline constexpr int kVoltageText = 1752;
inline constexpr int kRefreshDeviceStateButton = 1810;
inline constexpr int kLvdsRetrainingButton = 1792;
inline constexpr int kDeviceResetButton = 1800;
inline constexpr int kBaudRate = 1748;
inline constexpr int kUserSetDefaultSelector = 1753;
inline constexpr int kEenOutput = 1911;

// ---- Factory A ----
inline constexpr int kTerminalButton = 1010;
inline constexpr int kCameraResetButton = 1012;
inline constexpr int kStoreAllButton = 1021;
inline constexpr int kCmosFfcEnable = 1726;
inline constexpr int kCmosFfcSampleFrames = 1727;
inline constexpr int kCmosFfcMode = 1728;
inline constexpr int kCmosFfcTargetValue = 1729;
inline constexpr int kCmosFfcTargetValueSpin = 1730;
inline constexpr int kCmosFfcCalFpnButton = 1757;
inline constexpr int kCmosFfcCalPrnuButton = 1758;
inline constexpr int kDataSize = 1793;
inline constexpr int kDataSizeSpin = 1794;
inline constexpr int kParity = 1795;
inline constexpr int kParitySpin = 1796;
inline constexpr int kStopBits = 1797;
inline constexpr int kStopBitsSpin = 1798;

}  // namespace ctrl::control
