#include "decoder.h"

#include <sndfile.h>

#include <climits>

#include "soloud.h"

namespace SoLoud
{
	// libsndfile keeps its own idea of the position; each decoder remembers its own,
	// so several voices can stream from one File without disturbing each other.
	struct StreamDecoder
	{
		File *file = 0;
		long long pos = 0;
		SNDFILE *sf = 0;
		SF_INFO info = {};
	};

	static sf_count_t io_length(void *user)
	{
		return ((StreamDecoder *)user)->file->length();
	}

	static sf_count_t io_seek(sf_count_t offset, int whence, void *user)
	{
		StreamDecoder *d = (StreamDecoder *)user;
		long long len = d->file->length();
		long long to = offset;
		if (whence == SEEK_CUR)
			to = d->pos + offset;
		else if (whence == SEEK_END)
			to = len + offset;
		if (to < 0 || to > INT_MAX)
			return -1;
		d->pos = to;
		return to;
	}

	static sf_count_t io_read(void *ptr, sf_count_t count, void *user)
	{
		StreamDecoder *d = (StreamDecoder *)user;
		if (count <= 0)
			return 0;
		if (count > INT_MAX)
			count = INT_MAX;
		d->file->seek((int)d->pos);
		unsigned int got = d->file->read((unsigned char *)ptr, (unsigned int)count);
		d->pos += got;
		return got;
	}

	static sf_count_t io_write(const void *, sf_count_t, void *)
	{
		return 0;
	}

	static sf_count_t io_tell(void *user)
	{
		return ((StreamDecoder *)user)->pos;
	}

	StreamDecoder *open_decoder(File *aFile, DecoderInfo *aInfo)
	{
		if (!aFile || aFile->length() == 0 || aFile->length() == UINT_MAX)
			return 0;
		static SF_VIRTUAL_IO io = {io_length, io_seek, io_read, io_write, io_tell};
		StreamDecoder *d = new StreamDecoder;
		d->file = aFile;
		d->sf = sf_open_virtual(&io, SFM_READ, &d->info, d);
		if (!d->sf || d->info.channels <= 0 || d->info.channels > MAX_SOURCE_CHANNELS || d->info.samplerate <= 0)
		{
			close_decoder(d);
			return 0;
		}
		// Integer files scale to -1..1 floats; the default already does that.
		aInfo->channels = (unsigned int)d->info.channels;
		aInfo->samplerate = (unsigned int)d->info.samplerate;
		aInfo->frames = d->info.frames;
		return d;
	}

	void close_decoder(StreamDecoder *aDecoder)
	{
		if (!aDecoder)
			return;
		if (aDecoder->sf)
			sf_close(aDecoder->sf);
		delete aDecoder;
	}

	unsigned int decoder_read(StreamDecoder *aDecoder, float *aInterleaved, unsigned int aFrames)
	{
		sf_count_t got = sf_readf_float(aDecoder->sf, aInterleaved, aFrames);
		return got > 0 ? (unsigned int)got : 0;
	}

	bool decoder_seek(StreamDecoder *aDecoder, long long aFrame)
	{
		return sf_seek(aDecoder->sf, aFrame, SEEK_SET) >= 0;
	}

	bool decode_all(File *aFile, DecoderInfo *aInfo, std::vector<float> *aInterleaved)
	{
		StreamDecoder *d = open_decoder(aFile, aInfo);
		if (!d)
			return false;
		const unsigned int chunk = 4096;
		aInterleaved->clear();
		if (aInfo->frames > 0 && aInfo->frames < (1 << 26))
			aInterleaved->reserve((size_t)aInfo->frames * aInfo->channels);
		size_t used = 0;
		for (;;)
		{
			aInterleaved->resize(used + (size_t)chunk * aInfo->channels);
			unsigned int got = decoder_read(d, aInterleaved->data() + used, chunk);
			used += (size_t)got * aInfo->channels;
			if (got == 0)
				break;
			// Refuse absurd sizes rather than exhaust memory (about 6 hours of mono at 44.1 kHz).
			if (used / aInfo->channels >= UINT_MAX / 4)
			{
				close_decoder(d);
				return false;
			}
		}
		aInterleaved->resize(used);
		close_decoder(d);
		return used > 0;
	}
}
