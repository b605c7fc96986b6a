// korvane-cli play, end to end: the virtual drive, ALSA's file plug-in as the sound device.
#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>
#include <csignal>

#include "player/player_test_support.h"
#include "support/test_support.h"
#include "support/virtual_disc.h"

namespace {

class PlayCommandTest : public ::testing::Test {
 protected:
  ProcessResult Play(const QStringList& args, const QStringList& environment) {
    return RunCli(config_.Dir(), QStringList{"--virtual-disc", disc_.CuePath(), "play"} + args,
                  environment);
  }

  TestApplication<QCoreApplication> app_;
  TempConfig config_;
  SoundFile sound_;
  // Track 3 takes a drive slowed to half speed seconds to read.
  TestDisc disc_{{TestTrack(40), TestTrack(33), TestTrack(200), TestTrack(29)}};
};

TEST_F(PlayCommandTest, PlaysTheTrackToTheDeviceAndExitsZero) {
  const ProcessResult result = Play({"4"}, {sound_.Environment()});
  EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
  EXPECT_EQ(sound_.Bytes(), PlayedAudio(disc_.TrackAudio(3)));
  EXPECT_TRUE(result.out.contains("Track 4  100%  0:00 / 0:00")) << result.out.toStdString();
}

TEST_F(PlayCommandTest, NoSoundDeviceIsOneLineAndStatusFour) {
  const ProcessResult result = Play({"2"}, {"KORVANE_AUDIO_DEVICE=korvane_no_such_pcm"});
  EXPECT_EQ(result.exitCode, 4);
  EXPECT_TRUE(result.err.startsWith("korvane-cli: no sound device: korvane_no_such_pcm: "))
      << result.err.toStdString();
  EXPECT_EQ(result.err.count('\n'), 1) << result.err.toStdString();
}

TEST_F(PlayCommandTest, ATrackTheDiscDoesNotHaveIsStatusOne) {
  for (const QStringList& args :
       {QStringList{"0"}, QStringList{"5"}, QStringList{"two"}, QStringList{}}) {
    const ProcessResult result = Play(args, {sound_.Environment()});
    EXPECT_EQ(result.exitCode, 1) << args.join(' ').toStdString();
    EXPECT_FALSE(result.err.isEmpty());
  }
  EXPECT_TRUE(sound_.Bytes().isEmpty()) << "nothing was played";
}

TEST_F(PlayCommandTest, ADataTrackIsStatusOne) {
  DiscImages images;
  const QString cue = images.Write({{"MODE1/2048", 300}, {"AUDIO", 40}});
  const ProcessResult data =
      RunCli(config_.Dir(), {"--virtual-disc", cue, "play", "1"}, {sound_.Environment()});
  EXPECT_EQ(data.exitCode, 1);
  EXPECT_TRUE(data.err.contains("track 1 is a data track")) << data.err.toStdString();

  const ProcessResult audio =
      RunCli(config_.Dir(), {"--virtual-disc", cue, "play", "2"}, {sound_.Environment()});
  EXPECT_EQ(audio.exitCode, 0) << audio.err.toStdString();
  EXPECT_EQ(sound_.Bytes(), PlayedAudio(images.TrackBytes(1)));
}

// Ctrl-C stops like the Stop button: what was heard is the track's start, and the exit is 0.
TEST_F(PlayCommandTest, InterruptStopsAndExitsZero) {
  QProcess cli;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("KORVANE_AUDIO_DEVICE", sound_.DeviceName());
  env.insert("KORVANE_VIRTUAL_SPEED", "0.5");
  cli.setProcessEnvironment(env);
  cli.start(BinDir() + "/korvane-cli",
            {"--config-dir", config_.Dir(), "--virtual-disc", disc_.CuePath(), "play", "3"});
  ASSERT_TRUE(cli.waitForStarted(10000));
  QByteArray out;
  // The progress line moves once playback runs.
  const QRegularExpression playing("Track 3 +[1-9][0-9]*%");
  while (!playing.match(QString::fromLatin1(out)).hasMatch() && cli.waitForReadyRead(30000)) {
    out += cli.readAllStandardOutput();
  }
  ASSERT_TRUE(playing.match(QString::fromLatin1(out)).hasMatch()) << out.toStdString();
  ::kill(pid_t(cli.processId()), SIGINT);
  ASSERT_TRUE(cli.waitForFinished(30000));
  EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  const QByteArray played = sound_.Bytes();
  EXPECT_GT(played.size(), 0);
  EXPECT_LT(played.size(), disc_.TrackAudio(2).size());
  EXPECT_EQ(played, disc_.TrackAudio(2).left(played.size()));
}

}  // namespace
