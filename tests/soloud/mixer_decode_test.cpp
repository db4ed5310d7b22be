// Decoding of each format from fixtures written here with libsndfile, and broken files.
#include <sndfile.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "mixer_fixture.h"
#include "soloud_wavstream.h"

using namespace SoLoud;

static const int FIXTURE_RATE = 22050;
static const int FIXTURE_FRAMES = 11025;

static float fixture_sample(int k)
{
	return 0.5f * sinf(2.0f * 3.14159265f * 440.0f * k / FIXTURE_RATE);
}

static std::string temp_path(const std::string &aName)
{
	return ::testing::TempDir() + "soloud_" + aName;
}

// Writes half a second of a 440 Hz tone; false when this libsndfile cannot write the format.
static bool write_fixture(const std::string &aPath, int aFormat)
{
	SF_INFO info = {};
	info.samplerate = FIXTURE_RATE;
	info.channels = 1;
	info.format = aFormat;
	SNDFILE *sf = sf_open(aPath.c_str(), SFM_WRITE, &info);
	if (!sf)
		return false;
	std::vector<float> data(FIXTURE_FRAMES);
	for (int k = 0; k < FIXTURE_FRAMES; k++)
		data[k] = fixture_sample(k);
	sf_writef_float(sf, data.data(), FIXTURE_FRAMES);
	sf_close(sf);
	return true;
}

static void write_bytes(const std::string &aPath, const std::string &aBytes)
{
	std::ofstream(aPath, std::ios::binary).write(aBytes.data(), (std::streamsize)aBytes.size());
}

struct FormatCase
{
	const char *name;
	int format;
	bool lossless;
};

static const FormatCase formats[] = {
	{"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, true},
	{"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, true},
	{"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, false},
	{"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, false},
};

static float rms(const float *aData, unsigned int aCount, unsigned int aStep)
{
	double sum = 0;
	for (unsigned int k = 0; k < aCount; k++)
		sum += aData[k * aStep] * aData[k * aStep];
	return (float)sqrt(sum / aCount);
}

TEST_F(MixerTest, EachFormatDecodesIntoASampleAndAStream)
{
	for (const FormatCase &f : formats)
	{
		SCOPED_TRACE(f.name);
		std::string path = temp_path(std::string("tone.") + f.name);
		if (!write_fixture(path, f.format))
		{
			ADD_FAILURE() << "this libsndfile cannot write " << f.name;
			continue;
		}
		Wav wav;
		ASSERT_EQ(wav.load(path.c_str()), SO_NO_ERROR);
		EXPECT_EQ(wav.mChannels, 1u);
		EXPECT_EQ(wav.mBaseSamplerate, (float)FIXTURE_RATE);
		if (f.lossless)
		{
			ASSERT_EQ(wav.mSampleCount, (unsigned int)FIXTURE_FRAMES);
			for (int k : {0, 1, 17, 5000, FIXTURE_FRAMES - 1})
				EXPECT_NEAR(wav.mData[k], fixture_sample(k), 1.0f / 16384) << k;
		}
		else
		{
			// Lossy coders pad the start and the end.
			EXPECT_NEAR((double)wav.mSampleCount, FIXTURE_FRAMES, 3000.0);
			EXPECT_NEAR(rms(wav.mData + 2000, 6000, 1), 0.5f / sqrtf(2.0f), 0.05f);
		}

		// The stream plays the same sound and ends after its length (resampled to 44.1 kHz).
		WavStream stream;
		ASSERT_EQ(stream.load(path.c_str()), SO_NO_ERROR);
		EXPECT_NEAR(stream.getLength(), 0.5, f.lossless ? 1e-9 : 0.14);
		handle h = soloud.playBackground(stream, 1.0f);
		std::vector<float> out = mix(TEST_RATE / 2 - 4000);
		EXPECT_NEAR(rms(out.data() + 2 * 4000, 8000, 2), 0.5f / sqrtf(2.0f), 0.05f);
		mix(TEST_RATE / 2);
		EXPECT_FALSE(soloud.isValidVoiceHandle(h));
	}
}

TEST_F(MixerTest, StreamFromMemoryLoopsFromItsLoopPoint)
{
	std::string path = temp_path("loop.wav");
	ASSERT_TRUE(write_fixture(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
	DiskFile file;
	ASSERT_EQ(file.open(path.c_str()), SO_NO_ERROR);
	WavStream music;
	ASSERT_EQ(music.loadFileToMem(&file), SO_NO_ERROR);
	music.setLooping(true);
	music.setLoopPoint(0.25);
	// Two voices stream the same bytes independently.
	handle a = soloud.playBackground(music, 1.0f);
	handle b = soloud.playBackground(music, 1.0f);
	mix(TEST_RATE * 2, 1024);
	EXPECT_TRUE(soloud.isValidVoiceHandle(a));
	EXPECT_TRUE(soloud.isValidVoiceHandle(b));
	// 0.5 s once, then 0.25 s per loop: 2 s hold 7 wraps.
	EXPECT_EQ(soloud.getLoopCount(a), 7u);
	EXPECT_EQ(soloud.getLoopCount(b), 7u);
	EXPECT_GE(soloud.getStreamPosition(a), 0.25);
}

TEST_F(MixerTest, LoopPointsThatAreNoTimeLoopFromTheStart)
{
	std::string path = temp_path("loop_bad.wav");
	ASSERT_TRUE(write_fixture(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT));
	const double bad[] = {-1.0, std::nan(""), HUGE_VAL, 1e30, 1e300};
	for (double loopPoint : bad)
	{
		SCOPED_TRACE(loopPoint);
		WavStream music;
		ASSERT_EQ(music.loadToMem(path.c_str()), SO_NO_ERROR);
		music.setLooping(true);
		music.setLoopPoint(loopPoint);
		EXPECT_GE(music.getLoopPoint(), 0.0);
		EXPECT_LE(music.getLoopPoint(), 1e9);
		Wav sample;
		ASSERT_EQ(sample.load(path.c_str()), SO_NO_ERROR);
		sample.setLooping(true);
		sample.setLoopPoint(0.25);

		handle streamed = soloud.playBackground(music, 1.0f);
		handle loaded = soloud.playBackground(sample, 1.0f);
		soloud.setLoopPoint(loaded, loopPoint);
		EXPECT_GE(soloud.getLoopPoint(loaded), 0.0);
		EXPECT_LE(soloud.getLoopPoint(loaded), 1e9);
		// 0.5 s of sound, then 0.1 s more: both wrapped once, to the start.
		mix(TEST_RATE * 6 / 10, 1024);
		for (handle h : {streamed, loaded})
		{
			EXPECT_TRUE(soloud.isValidVoiceHandle(h));
			EXPECT_EQ(soloud.getLoopCount(h), 1u);
			EXPECT_NEAR(soloud.getStreamPosition(h), 0.1, 0.03);
		}
	}
}

// A File over a block of memory that can claim an unknown length or fail its reads.
struct FaultyFile : File
{
	std::string data;
	unsigned int at = 0;
	bool unknownLength = false;
	unsigned int failAfter = UINT_MAX;
	int eof() override { return at >= data.size(); }
	unsigned int read(unsigned char *aDst, unsigned int aBytes) override
	{
		if (at >= failAfter)
			return 0;
		unsigned int n = std::min<unsigned int>(aBytes, (unsigned int)data.size() - at);
		n = std::min(n, failAfter - at);
		memcpy(aDst, data.data() + at, n);
		at += n;
		return n;
	}
	unsigned int length() override { return unknownLength ? UINT_MAX : (unsigned int)data.size(); }
	void seek(int aOffset) override { at = std::min<unsigned int>((unsigned int)aOffset, (unsigned int)data.size()); }
	unsigned int pos() override { return at; }
};

static std::string read_bytes(const std::string &aPath)
{
	std::ifstream in(aPath, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(MixerTest, BrokenFilesFailToLoadAndPlayNothing)
{
	std::string good = temp_path("good.wav");
	ASSERT_TRUE(write_fixture(good, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
	std::string bytes = read_bytes(good);
	struct Broken
	{
		const char *name;
		std::string content;
	} broken[] = {
		{"empty.wav", ""},
		{"garbage.wav", std::string(4000, '\x5a')},
		{"header_only.wav", bytes.substr(0, 20)},
		{"text.ogg", "OggS this is not really an ogg stream"},
	};
	for (const Broken &b : broken)
	{
		SCOPED_TRACE(b.name);
		std::string path = temp_path(b.name);
		write_bytes(path, b.content);
		Wav wav;
		EXPECT_EQ(wav.load(path.c_str()), FILE_LOAD_FAILED);
		WavStream stream;
		EXPECT_EQ(stream.load(path.c_str()), FILE_LOAD_FAILED);
		EXPECT_EQ(stream.loadToMem(path.c_str()), FILE_LOAD_FAILED);
		// Playing what failed to load is silent and ends at once.
		handle h = soloud.play(wav);
		std::vector<float> out = mix(10);
		EXPECT_EQ(out[0], 0.0f);
		EXPECT_FALSE(soloud.isValidVoiceHandle(h));
	}
	Wav wav;
	EXPECT_EQ(wav.load(temp_path("does_not_exist.wav").c_str()), FILE_NOT_FOUND);
	WavStream stream;
	EXPECT_EQ(stream.load(temp_path("does_not_exist.ogg").c_str()), FILE_NOT_FOUND);
}

TEST_F(MixerTest, FileOfUnknownLengthOrFailingReadsIsAnError)
{
	std::string good = temp_path("good2.wav");
	ASSERT_TRUE(write_fixture(good, SF_FORMAT_WAV | SF_FORMAT_PCM_16));

	FaultyFile unknown;
	unknown.data = read_bytes(good);
	unknown.unknownLength = true;
	Wav wav;
	EXPECT_EQ(wav.loadFile(&unknown), FILE_LOAD_FAILED);
	WavStream stream;
	EXPECT_EQ(stream.loadFileToMem(&unknown), FILE_LOAD_FAILED);

	FaultyFile failing;
	failing.data = unknown.data;
	failing.failAfter = 1000;
	EXPECT_EQ(stream.loadFileToMem(&failing), FILE_LOAD_FAILED);

	// The same bytes through a healthy File load.
	FaultyFile healthy;
	healthy.data = unknown.data;
	EXPECT_EQ(wav.loadFile(&healthy), SO_NO_ERROR);
	EXPECT_EQ(wav.mSampleCount, (unsigned int)FIXTURE_FRAMES);
	healthy.at = 0;
	EXPECT_EQ(stream.loadFileToMem(&healthy), SO_NO_ERROR);
	EXPECT_NEAR(stream.getLength(), 0.5, 1e-9);
}

TEST_F(MixerTest, FailedLoadLeavesTheSampleSilent)
{
	std::string garbage = temp_path("garbage_reload.wav");
	write_bytes(garbage, std::string(4000, '\x5a'));
	std::string good = temp_path("good_reload.wav");
	ASSERT_TRUE(write_fixture(good, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
	FaultyFile unknown;
	unknown.data = read_bytes(good);
	unknown.unknownLength = true;
	struct Attempt
	{
		const char *name;
		std::function<result(Wav &)> load;
		result expected;
	} attempts[] = {
		{"missing file", [&](Wav &w) { return w.load(temp_path("not_there.wav").c_str()); }, FILE_NOT_FOUND},
		{"undecodable file", [&](Wav &w) { return w.load(garbage.c_str()); }, FILE_LOAD_FAILED},
		{"File of unknown length", [&](Wav &w) { return w.loadFile(&unknown); }, FILE_LOAD_FAILED},
		{"no File", [&](Wav &w) { return w.loadFile(nullptr); }, INVALID_PARAMETER},
	};
	for (const Attempt &a : attempts)
	{
		SCOPED_TRACE(a.name);
		Wav wav;
		make_constant(wav, 0.5f, 10000);
		handle playing = soloud.playBackground(wav, 1.0f);
		EXPECT_EQ(a.load(wav), a.expected);
		// What the sample held before neither keeps playing nor plays again.
		EXPECT_FALSE(soloud.isValidVoiceHandle(playing));
		EXPECT_EQ(wav.mSampleCount, 0u);
		soloud.playBackground(wav, 1.0f);
		std::vector<float> out = mix(10);
		EXPECT_EQ(out[0], 0.0f);
	}
}

TEST_F(MixerTest, FailedMemoryLoadLeavesTheStreamSilent)
{
	std::string good = temp_path("good_stream_reload.wav");
	ASSERT_TRUE(write_fixture(good, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
	std::string garbage = temp_path("garbage_stream_reload.wav");
	write_bytes(garbage, std::string(4000, '\x5a'));
	FaultyFile unknown;
	unknown.data = read_bytes(good);
	unknown.unknownLength = true;
	static const unsigned char junk[64] = {};
	struct Attempt
	{
		const char *name;
		std::function<result(WavStream &)> load;
	} attempts[] = {
		{"loadToMem of a missing file", [&](WavStream &w) { return w.loadToMem(temp_path("gone.wav").c_str()); }},
		{"loadToMem of an undecodable file", [&](WavStream &w) { return w.loadToMem(garbage.c_str()); }},
		{"loadFileToMem of unknown length", [&](WavStream &w) { return w.loadFileToMem(&unknown); }},
		{"loadMem of junk", [&](WavStream &w) { return w.loadMem(junk, sizeof(junk), true, false); }},
	};
	for (const Attempt &a : attempts)
	{
		SCOPED_TRACE(a.name);
		WavStream music;
		ASSERT_EQ(music.loadToMem(good.c_str()), SO_NO_ERROR);
		handle playing = soloud.playBackground(music, 1.0f);
		EXPECT_NE(a.load(music), SO_NO_ERROR);
		// What the stream held before neither keeps playing nor plays again.
		EXPECT_FALSE(soloud.isValidVoiceHandle(playing));
		EXPECT_EQ(music.getLength(), 0.0);
		soloud.playBackground(music, 1.0f);
		std::vector<float> out = mix(10);
		EXPECT_EQ(out[0], 0.0f);
	}
}
