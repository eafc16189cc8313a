// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace kavro::platform {

// One audio device as the platform describes it.
struct AudioDeviceDescription {
    QString uid;              // persistent identifier of the device
    QString name;             // human-readable name; may be empty
    QString manufacturer;     // empty when the platform gives none
    int channelCount = 0;     // channels of the device's preferred format
    double sampleRate = 0;    // rate of the device's preferred format, Hz
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
// own; every other member is used on the main thread.
class CaptureStream {
public:
    virtual ~CaptureStream() = default;

    // The format of the device's stream (rate 0 or no channels when it is unusable).
    virtual CaptureFormat format() const = 0;
    // Starts delivery, also again after stop(). Returns an error description on failure.
    virtual std::optional<QString> start() = 0;
    // Stops delivery; once it returns the callback is not called again.
    virtual void stop() = 0;
    // While stopped after a configuration change: looks at the device again (its format
    // may have changed, the default input may be another device) and measures the given
    // channel from the next start(). Does not start delivery, so the caller can retune
    // to the new format() first.
    virtual std::optional<QString> reopen(int deviceChannel) = 0;

    // Called on the main thread when the stream's hardware configuration changed (its
    // device vanished or changed format, the default device it follows changed, or the
    // platform stopped the stream). The stream touches nothing after the call, so the
    // owner may destroy it from inside.
    std::function<void()> onConfigurationChanged;
};

// The format a playback stream renders: 32-bit float, interleaved.
struct PlaybackFormat {
    double sampleRate = 44100.0;
    int channelCount = 2;
};

// Fills interleaved frames (channelCount samples each) on the render thread. It must
// not block, lock or allocate.
using RenderCallback = std::function<void(std::span<float> interleaved, int channelCount)>;

// A playback stream that pulls its samples from a render callback.
class PlaybackStream {
public:
    virtual ~PlaybackStream() = default;

    virtual std::optional<QString> start() = 0;
    // Once it returns the render callback is not called again.
    virtual void stop() = 0;

    // As for capture: called on the main thread when the output device vanished or the
    // platform stopped the stream; the owner may destroy the stream from inside.
    std::function<void()> onConfigurationChanged;
};

// The platform's audio layer: device lists, capture and playback streams, and the
// notification that the device lists changed.
class AudioBackend {
public:
    using DevicesChangedListener = std::function<void()>;

    // Keeps a device-list listener registered while it exists. It must not outlive the
    // backend.
    class ListenerRegistration {
    public:
        ListenerRegistration(AudioBackend& backend, std::uint64_t id) : m_backend(backend), m_id(id) {}
        ~ListenerRegistration() { m_backend.m_listeners.erase(m_id); }
        ListenerRegistration(const ListenerRegistration&) = delete;
        ListenerRegistration& operator=(const ListenerRegistration&) = delete;

    private:
        AudioBackend& m_backend;
        std::uint64_t m_id;
    };

    virtual ~AudioBackend() = default;

    virtual QList<AudioDeviceDescription> inputDevices() const = 0;
    virtual QList<AudioDeviceDescription> outputDevices() const = 0;

    virtual MicrophonePermission microphonePermission() const { return MicrophonePermission::Authorized; }
    // Asks the user for access; the answer arrives on the main thread.
    virtual void requestMicrophonePermission(const std::function<void(bool granted)>& answer) {
        answer(true);
    }

    // Opens (does not start) capture on a device (an empty UID means the system default
    // input). The stream measures the given device channel and delivers buffers of the
    // requested frame count where the platform allows it. Never null.
    virtual std::unique_ptr<CaptureStream> openCapture(const QString& deviceUid, int deviceChannel,
                                                       int framesPerBuffer, CaptureCallback callback) = 0;

    // Opens (does not start) playback on an output device; an empty or unknown UID plays
    // on the system default output. Never null.
    virtual std::unique_ptr<PlaybackStream> openPlayback(const QString& deviceUid, PlaybackFormat format,
                                                         RenderCallback render) = 0;

    // The listener is called on the main thread after either device list changed.
    [[nodiscard]] std::unique_ptr<ListenerRegistration>
    observeDeviceChanges(DevicesChangedListener listener) {
        const std::uint64_t id = m_nextListenerId++;
        m_listeners.emplace(id, std::move(listener));
        return std::make_unique<ListenerRegistration>(*this, id);
    }

protected:
    // Calls every listener. A listener may unregister itself or others on the way.
    void notifyDevicesChanged() {
        forEachStillRegistered(m_listeners, [](const DevicesChangedListener& listener) { listener(); });
    }

    // Calls the action with each value of the registry, skipping entries that an
    // earlier call removed. The action receives a copy, which outlives its entry.
    template <typename Registry, typename Action>
    static void forEachStillRegistered(Registry& registry, Action action) {
        std::vector<typename Registry::key_type> ids;
        ids.reserve(registry.size());
        for (const auto& entry : registry) {
            ids.push_back(entry.first);
        }
        for (const auto& id : ids) {
            const auto it = registry.find(id);
            if (it != registry.end()) {
                action(it->second);
            }
        }
    }

private:
    std::map<std::uint64_t, DevicesChangedListener> m_listeners;
    std::uint64_t m_nextListenerId = 1;
};

} // namespace kavro::platform
