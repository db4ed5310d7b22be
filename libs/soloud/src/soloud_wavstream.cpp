#include <algorithm>
#include <cstring>
#include <vector>

#include "decoder.h"
#include "soloud_wavstream.h"

namespace SoLoud
{
	WavStreamInstance::WavStreamInstance(WavStream *aParent) : mParent(aParent)
	{
		if (aParent->mMemFile)
		{
			// Each voice reads the shared bytes through a view of its own.
			MemoryFile *view = new MemoryFile;
			view->openMem(aParent->mMemFile->getMemPtr(), aParent->mMemFile->length(), false, false);
			mFile = view;
		}
		else if (aParent->mFilename)
		{
			DiskFile *df = new DiskFile;
			if (df->open(aParent->mFilename) != SO_NO_ERROR)
			{
				delete df;
				df = 0;
			}
			mFile = df;
		}
		File *source = mFile ? mFile : aParent->mStreamFile;
		DecoderInfo info;
		if (source)
			mDecoder = open_decoder(source, &info);
		mEnded = mDecoder == 0;
	}

	WavStreamInstance::~WavStreamInstance()
	{
		close_decoder(mDecoder);
		delete mFile;
	}

	unsigned int WavStreamInstance::getAudio(float *aBuffer, unsigned int aSamplesToRead, unsigned int aBufferSize)
	{
		if (!mDecoder || mEnded)
			return 0;
		float interleaved[512 * MAX_SOURCE_CHANNELS];
		const unsigned int perRead = 512;
		unsigned int written = 0;
		bool emptyLoop = false;
		while (written < aSamplesToRead)
		{
			unsigned int want = std::min(perRead, aSamplesToRead - written);
			unsigned int got = decoder_read(mDecoder, interleaved, want);
			if (got == 0)
			{
				// End of the data: wrap to the loop point, unless a whole pass gave nothing.
				if (!(mFlags & LOOPING) || emptyLoop)
				{
					mEnded = true;
					break;
				}
				long long loopFrame = (long long)(mLoopPoint * mBaseSamplerate);
				if (loopFrame >= mParent->mSampleCount)
					loopFrame = 0;
				if (!decoder_seek(mDecoder, loopFrame))
					decoder_seek(mDecoder, 0), loopFrame = 0;
				mOffset = (unsigned int)loopFrame;
				mLoopCount++;
				emptyLoop = true;
				continue;
			}
			emptyLoop = false;
			for (unsigned int c = 0; c < mChannels; c++)
			{
				float *dst = aBuffer + c * aBufferSize + written;
				for (unsigned int k = 0; k < got; k++)
					dst[k] = interleaved[k * mChannels + c];
			}
			written += got;
			mOffset += got;
		}
		mStreamPosition = mOffset / (double)mBaseSamplerate;
		return written;
	}

	bool WavStreamInstance::hasEnded()
	{
		return mEnded;
	}

	result WavStreamInstance::rewind()
	{
		if (!mDecoder || !decoder_seek(mDecoder, 0))
			return UNKNOWN_ERROR;
		mOffset = 0;
		mStreamPosition = 0;
		mEnded = false;
		return SO_NO_ERROR;
	}

	result WavStreamInstance::seek(time aSeconds, float *, unsigned int)
	{
		long long frame = aSeconds <= 0 ? 0 : (long long)(aSeconds * mBaseSamplerate);
		if (!mDecoder || !decoder_seek(mDecoder, frame))
			return UNKNOWN_ERROR;
		mOffset = (unsigned int)frame;
		mStreamPosition = mOffset / (double)mBaseSamplerate;
		mEnded = false;
		return SO_NO_ERROR;
	}

	WavStream::WavStream() {}

	WavStream::~WavStream()
	{
		stop();
		freeData();
	}

	void WavStream::freeData()
	{
		delete[] mFilename;
		delete mMemFile;
		mFilename = 0;
		mMemFile = 0;
		mStreamFile = 0;
		mSampleCount = 0;
	}

	result WavStream::probe(File *aFile)
	{
		DecoderInfo info;
		StreamDecoder *d = open_decoder(aFile, &info);
		if (!d)
			return FILE_LOAD_FAILED;
		// Some formats announce no length: count the frames once.
		long long frames = info.frames;
		if (frames <= 0 || frames >= 0x7fffffff)
		{
			float scratch[512 * MAX_SOURCE_CHANNELS];
			frames = 0;
			while (unsigned int got = decoder_read(d, scratch, 512))
				frames += got;
		}
		close_decoder(d);
		if (frames <= 0 || frames >= 0x7fffffff)
			return FILE_LOAD_FAILED;
		mChannels = info.channels;
		mBaseSamplerate = (float)info.samplerate;
		mSampleCount = (unsigned int)frames;
		return SO_NO_ERROR;
	}

	result WavStream::load(const char *aFilename)
	{
		if (!aFilename)
			return INVALID_PARAMETER;
		DiskFile f;
		result res = f.open(aFilename);
		if (res != SO_NO_ERROR)
			return res;
		stop();
		freeData();
		res = probe(&f);
		if (res != SO_NO_ERROR)
			return res;
		size_t n = strlen(aFilename) + 1;
		mFilename = new char[n];
		memcpy(mFilename, aFilename, n);
		return SO_NO_ERROR;
	}

	result WavStream::loadMem(const unsigned char *aData, unsigned int aDataLen, bool aCopy, bool aTakeOwnership)
	{
		MemoryFile *mf = new MemoryFile;
		return adoptMemFile(mf, mf->openMem(aData, aDataLen, aCopy, aTakeOwnership));
	}

	result WavStream::loadToMem(const char *aFilename)
	{
		DiskFile f;
		result res = f.open(aFilename);
		if (res != SO_NO_ERROR)
			return adoptMemFile(nullptr, res);
		return loadFileToMem(&f);
	}

	result WavStream::loadFile(File *aFile)
	{
		if (!aFile)
			return INVALID_PARAMETER;
		stop();
		freeData();
		result res = probe(aFile);
		if (res != SO_NO_ERROR)
			return res;
		mStreamFile = aFile;
		return SO_NO_ERROR;
	}

	result WavStream::loadFileToMem(File *aFile)
	{
		if (!aFile)
			return INVALID_PARAMETER;
		MemoryFile *mf = new MemoryFile;
		return adoptMemFile(mf, mf->openFileToMem(aFile));
	}

	result WavStream::adoptMemFile(MemoryFile *aMemFile, result aOpenResult)
	{
		result res = aOpenResult;
		if (res == SO_NO_ERROR)
			res = probe(aMemFile);
		// Loaded or not, what the stream held before is gone: a failed load is silent.
		stop();
		freeData();
		if (res != SO_NO_ERROR)
		{
			delete aMemFile;
			return res;
		}
		probe(aMemFile);
		mMemFile = aMemFile;
		return SO_NO_ERROR;
	}

	AudioSourceInstance *WavStream::createInstance()
	{
		return new WavStreamInstance(this);
	}

	time WavStream::getLength()
	{
		return mBaseSamplerate > 0 ? mSampleCount / (double)mBaseSamplerate : 0.0;
	}
}
