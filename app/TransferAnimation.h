#pragma once

#include <QLabel>
#include <QList>
#include <QPixmap>
#include <QTimer>

/// The small clip that loops while a transfer runs: 8 frames of 16 x 20 pixels,
/// 200 ms each. Shows its first frame when stopped.
class TransferAnimation : public QLabel {
    Q_OBJECT

public:
    static constexpr int kFrameCount = 8;
    static constexpr int kFrameMs = 200;

    explicit TransferAnimation(QWidget* pParent = nullptr);

    /// Loads the frames and shows the first; false when they are missing.
    bool Open();
    /// Plays from the first frame to the last, repeating without end.
    void Play();
    /// Stops and shows the first frame again.
    void Stop();

    bool IsPlaying() const { return m_timer.isActive(); }
    int CurrentFrame() const { return m_nFrame; }

private:
    void ShowFrame(int nFrame);

    QList<QPixmap> m_frames;
    QTimer m_timer;
    int m_nFrame = 0;
};
