#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <span>

namespace kavro::platform {

// One audio device as the platform describes it.
struct AudioDeviceDescription {
    QString uid;           // persistent identifier of the device
    QString name;          // human-readable name; may be empty
    QString manufacturer;  // empty when the platform gives none
    int channelCount = 0;  // channels of the device's preferred format
    double sampleRate = 0; // rate of the device's preferred format, Hz
    QStringList channelNames; // names by channel index; missing or empty entries have no name
    bool isDefault = false;

    bool operator==(const AudioDeviceDescription&) const = default;
};

// The format a capture stream delivers.
struct CaptureFormat {
    double sampleRate = 0;
    int channelCount = 0;
};

enum class MicrophonePermission { NotDetermined, Authorized, Denied, Restricted };

// Receives one buffer of the measured channel (32-bit float, full scale ±1), on the
// capture thread, in stream order. It must not block.
using CaptureCallback = std::function<void(std::span<const float> samples)>;

// A capture stream opened on one device. The callback runs on a thread of the stream's
// own; start() and stop() are called on the main thread.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;

    // The format of the device's stream (rate 0 or no channels when it is unusable).
    virtual CaptureFormat format() const = 0;
    // Starts delivery. Returns an error description on failure.
    virtual std::optional<QString> start() = 0;
    // Stops delivery; once it returns the callback is not called again.
    virtual void stop() = 0;
};

// The platform's audio layer: device lists and capture streams.
class AudioBackend {
public:
    virtual ~AudioBackend() = default;

    virtual QList<AudioDeviceDescription> inputDevices() const = 0;
    virtual QList<AudioDeviceDescription> outputDevices() const = 0;

    virtual MicrophonePermission microphonePermission() const { return MicrophonePermission::Authorized; }
    // Asks the user for access; the answer arrives on the main thread.
    virtual void requestMicrophonePermission(std::function<void(bool granted)> answer) { answer(true); }

    // Opens (does not start) capture on a device (an empty UID means the system default
    // input). The stream measures the given device channel and delivers buffers of the
    // requested frame count where the platform allows it. Never null.
    virtual std::unique_ptr<CaptureStream> openCapture(const QString& deviceUid, int deviceChannel,
                                                       int framesPerBuffer, CaptureCallback callback) = 0;
};

} // namespace kavro::platform
