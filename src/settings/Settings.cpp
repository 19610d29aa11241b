#include "settings/Settings.h"

#include "settings/modXML.h"
#include "tracks/modWaveSplit.h"
#include "util/modFunctions.h"

#include <QtGlobal>

#include <climits>
#include <cmath>

namespace sv {

using namespace settings;

namespace {

QString text(const QString& key, const QString& section, const QString& def)
{
    return XMLGetValue(key, section, QString(), def);
}

bool store(const QString& key, const QString& section, const QString& value)
{
    return XMLSetValue(value, key, section, QString());
}

QString flag(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }

// The whole part of the stored number; the default when it is not a number.
int whole(const QString& key, const QString& section, int def)
{
    return XMLGetInt(key, section, QString(), def);
}

// A whole number of the waveform's 16-bit settings: truncated or rounded,
// kept in range; a stored text that is not a number gives the default.
int whole16(const QString& key, const QString& section, int def, bool rounded)
{
    const QString t = text(key, section, QString::number(def));
    if (LeadingInt(t, INT_MIN) == INT_MIN)
        return def;
    const double v = Val(t);
    const double w = rounded ? std::nearbyint(v) : std::trunc(v);
    return int(qBound(-32768.0, w, 32767.0));
}

// A position in a list of count entries; anything else is the first entry.
int position(const QString& key, int count)
{
    const int pos = LeadingInt(text(key, Soundcard, QStringLiteral("0")), 0);
    return pos >= 0 && pos < count ? pos : 0;
}

} // namespace

QString Settings::recordDirectory()
{
    const QString temp = TempFolder();
    const QString folder = text(QStringLiteral("RecordDirectory"), Root, temp);
    return folder.isEmpty() ? temp : folder; // an unreadable file gives ""
}
bool Settings::setRecordDirectory(const QString& folder) { return store(QStringLiteral("RecordDirectory"), Root, folder); }

// Stored and read in the same section: a search for "Tutorial" alone would
// stop at any other section of that name that comes first.
bool Settings::tutorialActive()
{
    return text(QStringLiteral("TutorialActive"), MessagesTutorial, QStringLiteral("0")) == QLatin1String("1");
}
bool Settings::setTutorialActive(bool on) { return store(QStringLiteral("TutorialActive"), MessagesTutorial, flag(on)); }

// The message flags count as shown unless they read "0": an unreadable file
// must not repeat a message on every run.
bool Settings::firstRunDone() { return text(QStringLiteral("IsFirstRun"), MessagesStartup, QStringLiteral("0")) != QLatin1String("0"); }
bool Settings::setFirstRunDone() { return store(QStringLiteral("IsFirstRun"), MessagesStartup, flag(true)); }
bool Settings::volumeMessageShown() { return text(QStringLiteral("VolumeMessage"), Messages, QStringLiteral("0")) != QLatin1String("0"); }
bool Settings::setVolumeMessageShown() { return store(QStringLiteral("VolumeMessage"), Messages, flag(true)); }
bool Settings::waveformMessageShown() { return text(QStringLiteral("WaveformMessage"), Messages, QStringLiteral("0")) != QLatin1String("0"); }

QString Settings::finishAction() { return text(QStringLiteral("FinishAction"), Root, QStringLiteral("0")); }
bool Settings::setFinishAction(const QString& code) { return store(QStringLiteral("FinishAction"), Root, code); }
QString Settings::outputChoice() { return text(QStringLiteral("LastUsed"), OutputOptions, QStringLiteral("0")); }
bool Settings::setOutputChoice(const QString& code) { return store(QStringLiteral("LastUsed"), OutputOptions, code); }
QString Settings::saveIn() { return text(QStringLiteral("SaveIn"), Root, QStringLiteral("Desktop")); }
bool Settings::setSaveIn(const QString& t) { return store(QStringLiteral("SaveIn"), Root, t); }

int Settings::mixer(int count) { return position(QStringLiteral("Mixer"), count); }
bool Settings::setMixer(int index) { return store(QStringLiteral("Mixer"), Soundcard, QString::number(index)); }
int Settings::line(int count) { return position(QStringLiteral("Line"), count); }
bool Settings::setLine(int index) { return store(QStringLiteral("Line"), Soundcard, QString::number(index)); }

QString Settings::audioBackend()
{
    return text(QStringLiteral("Backend"), AdvancedAudio, QStringLiteral("auto")).trimmed().toLower();
}
QString Settings::virtualDeck() { return text(QStringLiteral("VirtualDeck"), AdvancedAudio, QString()); }
double Settings::virtualSpeed()
{
    const double speed = Val(text(QStringLiteral("VirtualSpeed"), AdvancedAudio, QStringLiteral("1")));
    return speed > 0 ? speed : 1.0;
}

int Settings::scanMinimum() { return whole(QStringLiteral("Minimum"), AdvancedScanning, VolumeSettings().scanMinimum); }
int Settings::clipThreshold()
{
    // A threshold of zero would call silence too loud.
    const int def = VolumeSettings().clipThreshold;
    const int v = whole(QStringLiteral("Threshold"), AdvancedScanning, def);
    return v > 0 ? v : def;
}
int Settings::adjustMinimum() { return whole(QStringLiteral("Minimum"), AdvancedAdjusting, VolumeSettings().adjustMinimum); }
VolumeSettings Settings::volume() { return {scanMinimum(), clipThreshold(), adjustMinimum()}; }

int Settings::drawScale()
{
    // Drawing divides by the scale.
    const int v = whole16(QStringLiteral("DrawScale"), AdvancedWaveform, 20, false);
    return v > 0 ? v : 20;
}
int Settings::minRecordingLength() { return whole16(QStringLiteral("MinRecordingLength"), AdvancedWaveform, 1, true); }
int Settings::minTrackSize() { return whole16(QStringLiteral("MinTrackSize"), AdvancedWaveform, TrackLimits().minTrackSize, false); }
int Settings::minTrackSpacing() { return whole16(QStringLiteral("MinTrackSpacing"), AdvancedWaveform, TrackLimits().minTrackSpacing, false); }
bool Settings::autoSplit() { return whole(QStringLiteral("AutoSplit"), WaveformOptions, 1) != 0; }
bool Settings::setAutoSplit(bool on) { return store(QStringLiteral("AutoSplit"), WaveformOptions, flag(on)); }

TrackLimits Settings::trackLimits(const WaveScale& scale)
{
    TrackLimits l;
    l.scale = scale;
    l.minTrackSize = minTrackSize();
    l.minTrackSpacing = minTrackSpacing();
    l.minTrackLength = minTrackLength();
    return l;
}

int Settings::hiss() { return whole(QStringLiteral("Hiss"), AdvancedDetection, DetectSettings().hiss); }
double Settings::samples()
{
    // An unreadable store answers "": keep the default gap rather than a window of one unit.
    const QString t = text(QStringLiteral("Samples"), AdvancedDetection, QStringLiteral(".5"));
    return t.trimmed().isEmpty() ? DetectSettings().samples : Val(t);
}
int Settings::minTrackLength() { return whole(QStringLiteral("MinTrackLength"), AdvancedDetection, DetectSettings().minTrackLength); }
DetectMethod Settings::method() { return MethodFromName(text(QStringLiteral("Method"), AdvancedDetection, QStringLiteral("Bands"))); }

DetectSettings Settings::detection()
{
    DetectSettings s;
    s.hiss = hiss();
    s.samples = samples();
    s.minTrackLength = minTrackLength();
    s.method = method();
    s.autoSplit = autoSplit();
    return s;
}

bool Settings::setDetection(int hissUnits, double gapSeconds, const QString& minTrackLengthText)
{
    bool ok = store(QStringLiteral("Hiss"), AdvancedDetection, QString::number(hissUnits));
    ok = store(QStringLiteral("Samples"), AdvancedDetection, QString::number(gapSeconds)) && ok;
    return store(QStringLiteral("MinTrackLength"), AdvancedDetection, minTrackLengthText) && ok;
}

std::int64_t Settings::bitesize()
{
    const int v = whole(QStringLiteral("Bitesize"), Advanced, int(DefaultBitesize));
    return v >= 1 ? v : DefaultBitesize;
}

} // namespace sv
