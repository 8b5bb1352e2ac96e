// The Prometheus series that dravikctl's text output and dravik-exporter both write, named once
// so that a dashboard or an alert rule built on one reads the other. Base units throughout
// (the operating time in seconds), `_info` for identity, no `_total` on gauges.
#pragma once

namespace dravik::flows::metrics {

// 1 when every read of the probe (or the query) succeeded, else 0.
inline constexpr const char* kProbeSuccess = "dravik_probe_success";
inline constexpr const char* kProbeDuration = "dravik_probe_duration_seconds";
// Always 1; labels carry what the display reported (model).
inline constexpr const char* kDisplayInfo = "dravik_display_info";
inline constexpr const char* kTemperature = "dravik_display_temperature_celsius";
// The display reports whole hours; the series carries seconds.
inline constexpr const char* kOperatingTime = "dravik_display_operating_time_seconds";
inline constexpr const char* kBacklight = "dravik_display_backlight_level";
// One series per video parameter 2..7 (label `parameter`), signed as the display sends them.
inline constexpr const char* kVideoParameter = "dravik_display_video_parameter";
// Per read (label `read`): 1 when it succeeded.
inline constexpr const char* kReadSuccess = "dravik_read_success";
// Per failed read: labels `read` and `outcome` (dravikctl's outcome names, e.g. "no-reply"), value 1.
inline constexpr const char* kReadOutcome = "dravik_read_outcome";

}  // namespace dravik::flows::metrics
