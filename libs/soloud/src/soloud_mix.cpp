// Mixing: which voices sound, resampling each voice to the output rate, volume, pan
// and faders per sample, buses, clipping and visualisation.
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>

#include "mixer_internal.h"
#include "resample_lerp.h"
#include "soloud.h"
#include "soloud_bus.h"

namespace SoLoud
{
	typedef std::lock_guard<std::recursive_mutex> Lock;

	void Soloud::updateActiveVoices(bool aApply)
	{
		unsigned int count = 0;
		for (int i = 0; i < VOICE_COUNT; i++)
			count += mVoice[i] != 0;
		if (count <= mMaxActiveVoices)
		{
			for (int i = 0; i < VOICE_COUNT; i++)
				mActive[i] = mVoice[i] != 0;
			return;
		}
		// Too many voices: protected ones and buses always sound, whatever their number;
		// the loudest of the rest fill what is left of the limit.
		int order[VOICE_COUNT];
		int n = 0;
		for (int i = 0; i < VOICE_COUNT; i++)
			if (mVoice[i])
				order[n++] = i;
		auto priority = [this](int slot) {
			AudioSourceInstance *v = mVoice[slot];
			if (v->mFlags & (AudioSourceInstance::PROTECTED | AudioSourceInstance::IS_BUS))
				return 1e30f;
			return v->mSetVolume * std::max(fabsf(v->mChannelVolume[0]), fabsf(v->mChannelVolume[1]));
		};
		std::stable_sort(order, order + n, [&](int a, int b) { return priority(a) > priority(b); });
		unsigned int audible = 0;
		for (int k = 0; k < n; k++)
		{
			int slot = order[k];
			AudioSourceInstance *v = mVoice[slot];
			bool always = (v->mFlags & (AudioSourceInstance::PROTECTED | AudioSourceInstance::IS_BUS)) != 0;
			if (always || audible < mMaxActiveVoices)
			{
				mActive[slot] = 1;
				audible++;
			}
			else if ((v->mFlags & AudioSourceInstance::INAUDIBLE_KILL) && aApply)
				stopVoice(slot);
			else if (v->mFlags & AudioSourceInstance::INAUDIBLE_KILL)
				mActive[slot] = 0;
			else
				mActive[slot] = (v->mFlags & AudioSourceInstance::INAUDIBLE_TICK) ? 2 : 0;
		}
	}

	void Soloud::mixBus(float *aOut, unsigned int aFrames, unsigned int aStride, handle aBusHandle)
	{
		for (int i = 0; i < VOICE_COUNT; i++)
		{
			AudioSourceInstance *v = mVoice[i];
			if (!v || v->mBusHandle != aBusHandle || !mActive[i])
				continue;
			mixVoice(v, mActive[i] == 1 ? aOut : mDiscard, aFrames, mActive[i] == 1 ? aStride : mScratchStride);
			if (v->mFinished && mVoice[i] == v)
				stopVoice(i);
		}
	}

	// Steps too small for the fixed-point positions of lerp_channel (or too large to
	// be worth it) take the per-frame way.
	static const double MIN_FIXED_STEP = 1.0 / (1 << 16);

	// Interpolates the frames at positions aFrac, aFrac + aStep, ... past frame aFirst
	// of the buffer, for as long as the next frame is buffered and at most aMax frames,
	// and moves *aSrcPos past them. aFrac is in [0, 1). The frames made.
	static unsigned int interpolate_run(const float *aBuf, unsigned int aFirst, unsigned int aBufCount, double aFrac,
	                                    double aStep, unsigned int aChannels, float *aOut, unsigned int aStride,
	                                    unsigned int aMax, double *aSrcPos)
	{
		uint64_t start = (uint64_t)(aFrac * LERP_FIXED_ONE);
		uint64_t step = (uint64_t)(aStep * LERP_FIXED_ONE + 0.5);
		uint64_t end = (uint64_t)(aBufCount - 1 - aFirst) << 32; // the first position without a next frame
		unsigned int n = (unsigned int)std::min<uint64_t>((end - start + step - 1) / step, aMax);
		for (unsigned int c = 0; c < aChannels; c++)
			lerp_channel(aBuf + c * RESAMPLE_CAP + aFirst, aBufCount - aFirst, aOut + c * aStride, n, start, step);
		uint64_t after = start + (uint64_t)n * step;
		*aSrcPos = aFirst + (double)(after >> 32) + (double)(uint32_t)after / LERP_FIXED_ONE;
		return n;
	}

	unsigned int Soloud::resample(AudioSourceInstance *aVoice, float *aOut, unsigned int aFrames, unsigned int aStride)
	{
		AudioSourceInstance *v = aVoice;
		float speed = v->mSpeedFader.mActive ? v->mSpeedFader.get(v->mMixedSamples) : v->mSetRelativePlaySpeed;
		double step = (double)v->mBaseSamplerate * speed / mSamplerate;
		unsigned int channels = v->mChannels;
		unsigned int outChannels = std::min(channels, (unsigned int)MAX_CHANNELS);
		float *buf = v->mResampleData;
		unsigned int produced = 0;

		if (step == 1.0 && v->mSrcPos == floor(v->mSrcPos))
		{
			// Same rate: copy frames, asking the source for exactly what is still needed,
			// so voices inside buses stay sample-aligned with the output.
			while (produced < aFrames)
			{
				unsigned int i = (unsigned int)v->mSrcPos;
				if (i >= v->mBufCount)
				{
					if (v->mSourceExhausted)
						break;
					unsigned int want = std::min(aFrames - produced, (unsigned int)RESAMPLE_CAP);
					unsigned int got = v->getAudio(buf, want, RESAMPLE_CAP);
					v->mBufCount = got;
					v->mSrcPos = 0;
					i = 0;
					v->mSourceExhausted = got == 0 || v->hasEnded();
					if (got == 0)
						break;
				}
				unsigned int take = std::min(v->mBufCount - i, aFrames - produced);
				for (unsigned int c = 0; c < outChannels; c++)
					memcpy(aOut + c * aStride + produced, buf + c * RESAMPLE_CAP + i, take * sizeof(float));
				produced += take;
				v->mSrcPos += take;
			}
			return produced;
		}

		while (produced < aFrames)
		{
			unsigned int i = (unsigned int)v->mSrcPos;
			if (i + 1 >= v->mBufCount && !v->mSourceExhausted)
			{
				// Keep the frames still ahead (at least the current one), drop any skipped.
				unsigned int keep = i < v->mBufCount ? v->mBufCount - i : 0;
				unsigned int skip = i > v->mBufCount ? i - v->mBufCount : 0;
				for (unsigned int c = 0; c < channels && keep; c++)
					memmove(buf + c * RESAMPLE_CAP, buf + c * RESAMPLE_CAP + i, keep * sizeof(float));
				v->mSrcPos -= i;
				while (skip > 0 && !v->mSourceExhausted)
				{
					unsigned int got = v->getAudio(buf + keep, std::min(skip, RESAMPLE_CAP - keep), RESAMPLE_CAP);
					skip -= got;
					v->mSourceExhausted = got == 0 || v->hasEnded();
				}
				unsigned int got = 0;
				if (!v->mSourceExhausted)
				{
					got = v->getAudio(buf + keep, RESAMPLE_CAP - keep, RESAMPLE_CAP);
					v->mSourceExhausted = got == 0 || v->hasEnded();
				}
				v->mBufCount = keep + got;
				i = 0;
			}
			if (i >= v->mBufCount)
				break;
			if (i + 1 < v->mBufCount && step >= MIN_FIXED_STEP && step < RESAMPLE_CAP)
			{
				// Every frame up to the last one whose next frame is buffered.
				unsigned int n = interpolate_run(buf, i, v->mBufCount, v->mSrcPos - i, step, outChannels,
				                                 aOut + produced, aStride, aFrames - produced, &v->mSrcPos);
				produced += n;
				continue;
			}
			float f = (float)(v->mSrcPos - i);
			bool hasNext = i + 1 < v->mBufCount;
			for (unsigned int c = 0; c < outChannels; c++)
			{
				const float *ch = buf + c * RESAMPLE_CAP;
				float a = ch[i];
				float b = hasNext ? ch[i + 1] : 0.0f;
				aOut[c * aStride + produced] = a + (b - a) * f;
			}
			produced++;
			v->mSrcPos += step;
		}
		return produced;
	}

	void Soloud::mixVoice(AudioSourceInstance *aVoice, float *aOut, unsigned int aFrames, unsigned int aStride)
	{
		AudioSourceInstance *v = aVoice;
		if (v->mFlags & AudioSourceInstance::PAUSED)
			return;
		int64_t frames = aFrames;
		if (v->mStopAt >= 0)
			frames = std::min(frames, std::max<int64_t>(0, v->mStopAt - v->mMixedSamples));
		if (v->mPauseAt >= 0)
			frames = std::min(frames, std::max<int64_t>(0, v->mPauseAt - v->mMixedSamples));
		unsigned int n = (unsigned int)frames;

		float *src = mScratch + (size_t)mBusDepth * MAX_CHANNELS * mScratchStride;
		unsigned int got = n ? resample(v, src, n, mScratchStride) : 0;
		const float *left = src;
		const float *right = v->mChannels >= 2 ? src + mScratchStride : src;
		float *outL = aOut;
		float *outR = aOut + aStride; // buses and the main mix are always two channels

		if (v->mVolumeFader.mActive || v->mPanFader.mActive)
		{
			// Exact per-sample gains while fading.
			float chv[MAX_CHANNELS] = {v->mChannelVolume[0], v->mChannelVolume[1]};
			for (unsigned int k = 0; k < got; k++)
			{
				int64_t at = v->mMixedSamples + k;
				float vol = v->mVolumeFader.mActive ? v->mVolumeFader.get(at) : v->mSetVolume;
				if (v->mPanFader.mActive)
					pan_to_channel_volumes(v->mPanFader.get(at), chv);
				outL[k] += left[k] * vol * chv[0];
				outR[k] += right[k] * vol * chv[1];
			}
			float vol = v->mVolumeFader.mActive ? v->mVolumeFader.get(v->mMixedSamples + got) : v->mSetVolume;
			v->mPrevGain[0] = vol * chv[0];
			v->mPrevGain[1] = vol * chv[1];
			v->mGainPrimed = true;
		}
		else
		{
			// A volume or pan change between blocks ramps over the block instead of clicking.
			float target[MAX_CHANNELS] = {v->mSetVolume * v->mChannelVolume[0], v->mSetVolume * v->mChannelVolume[1]};
			if (!v->mGainPrimed)
			{
				v->mPrevGain[0] = target[0];
				v->mPrevGain[1] = target[1];
				v->mGainPrimed = true;
			}
			float g0 = v->mPrevGain[0], g1 = v->mPrevGain[1];
			if (g0 == target[0] && g1 == target[1])
			{
				for (unsigned int k = 0; k < got; k++)
				{
					outL[k] += left[k] * g0;
					outR[k] += right[k] * g1;
				}
			}
			else if (got)
			{
				float d0 = (target[0] - g0) / got, d1 = (target[1] - g1) / got;
				for (unsigned int k = 0; k < got; k++)
				{
					outL[k] += left[k] * (g0 + d0 * k);
					outR[k] += right[k] * (g1 + d1 * k);
				}
				v->mPrevGain[0] = target[0];
				v->mPrevGain[1] = target[1];
			}
		}

		v->mMixedSamples += n;
		if (v->mVolumeFader.mActive)
		{
			v->mSetVolume = v->mVolumeFader.get(v->mMixedSamples);
			if (v->mMixedSamples >= v->mVolumeFader.mEnd)
				v->mVolumeFader.mActive = false;
		}
		if (v->mPanFader.mActive)
		{
			v->mPan = v->mPanFader.get(v->mMixedSamples);
			pan_to_channel_volumes(v->mPan, v->mChannelVolume);
			if (v->mMixedSamples >= v->mPanFader.mEnd)
				v->mPanFader.mActive = false;
		}
		if (v->mSpeedFader.mActive)
		{
			v->mSetRelativePlaySpeed = v->mSpeedFader.get(v->mMixedSamples);
			if (v->mMixedSamples >= v->mSpeedFader.mEnd)
				v->mSpeedFader.mActive = false;
		}
		if (got < n)
			v->mFinished = true;
		if (v->mStopAt >= 0 && v->mMixedSamples >= v->mStopAt)
			v->mFinished = true;
		if (v->mPauseAt >= 0 && v->mMixedSamples >= v->mPauseAt)
		{
			v->mPauseAt = -1;
			v->mFlags |= AudioSourceInstance::PAUSED;
		}
	}

	void record_peak(const float *aOut, unsigned int aFrames, unsigned int aStride, float *aPeak)
	{
		aPeak[0] = aPeak[1] = 0;
		for (unsigned int k = 0; k < aFrames; k++)
		{
			aPeak[0] = std::max(aPeak[0], fabsf(aOut[k]));
			aPeak[1] = std::max(aPeak[1], fabsf(aOut[aStride + k]));
		}
	}

	void push_history(float *aHistory, unsigned int aSize, const float *aOut, unsigned int aFrames, unsigned int aStride)
	{
		// Newest last; each sample is the mono mix of the two channels.
		unsigned int n = std::min(aFrames, aSize);
		memmove(aHistory, aHistory + n, (aSize - n) * sizeof(float));
		const float *l = aOut + (aFrames - n), *r = aOut + aStride + (aFrames - n);
		for (unsigned int k = 0; k < n; k++)
			aHistory[aSize - n + k] = (l[k] + r[k]) * 0.5f;
	}

	void Soloud::mixBlock(float *aBuffer, unsigned int aFrames)
	{
		updateActiveVoices(true);
		unsigned int stride = mScratchStride;
		float *mixL = mMixBuffer, *mixR = mMixBuffer + stride;
		memset(mixL, 0, aFrames * sizeof(float));
		memset(mixR, 0, aFrames * sizeof(float));
		mBusDepth = 0;
		mixBus(mMixBuffer, aFrames, stride, 0);

		bool roundoff = (mFlags & CLIP_ROUNDOFF) != 0;
		for (unsigned int c = 0; c < MAX_CHANNELS; c++)
		{
			float *ch = mMixBuffer + c * stride;
			for (unsigned int k = 0; k < aFrames; k++)
			{
				float g = mGlobalVolumeFader.mActive ? mGlobalVolumeFader.get(mMixedSamples + k) : mGlobalVolume;
				float x = ch[k] * g;
				if (roundoff)
				{
					// Soft knee above 0.5: continuous in value and slope, never past +-1.
					float a = fabsf(x);
					if (a > 0.5f)
						x = copysignf(1.0f - 0.25f / a, x);
				}
				else
					x = std::clamp(x, -1.0f, 1.0f);
				ch[k] = x * mPostClipScaler;
			}
		}
		mMixedSamples += aFrames;
		if (mGlobalVolumeFader.mActive)
		{
			mGlobalVolume = mGlobalVolumeFader.get(mMixedSamples);
			if (mMixedSamples >= mGlobalVolumeFader.mEnd)
				mGlobalVolumeFader.mActive = false;
		}

		if (mVisualizationEnabled)
		{
			record_peak(mMixBuffer, aFrames, stride, mApproximateVolume);
			push_history(mWaveHistory, 512, mMixBuffer, aFrames, stride);
		}

		if (mChannels == 2)
		{
			for (unsigned int k = 0; k < aFrames; k++)
			{
				aBuffer[2 * k] = mixL[k];
				aBuffer[2 * k + 1] = mixR[k];
			}
		}
		else
		{
			for (unsigned int k = 0; k < aFrames; k++)
				aBuffer[k] = (mixL[k] + mixR[k]) * 0.5f;
		}
	}

	void Soloud::mix(float *aBuffer, unsigned int aSamples)
	{
		Lock lock(mMutex);
		if (!mInited)
		{
			memset(aBuffer, 0, (size_t)aSamples * mChannels * sizeof(float));
			return;
		}
		while (aSamples > 0)
		{
			unsigned int n = std::min(aSamples, mBufferSize);
			mixBlock(aBuffer, n);
			aBuffer += (size_t)n * mChannels;
			aSamples -= n;
		}
	}

	void Soloud::mixSigned16(short *aBuffer, unsigned int aSamples)
	{
		float block[2 * 512];
		while (aSamples > 0)
		{
			unsigned int n = std::min(aSamples, 512u);
			mix(block, n);
			unsigned int count = n * mChannels;
			for (unsigned int k = 0; k < count; k++)
				aBuffer[k] = (short)lrintf(std::clamp(block[k], -1.0f, 1.0f) * 32767.0f);
			aBuffer += count;
			aSamples -= n;
		}
	}

	void calc_fft_magnitudes(const float *aSamples512, float *aMagnitudes)
	{
		// Iterative radix-2 transform of 512 real samples.
		const unsigned int N = 512;
		std::complex<float> a[N];
		for (unsigned int i = 0; i < N; i++)
		{
			unsigned int r = 0;
			for (unsigned int b = 0; b < 9; b++)
				r |= ((i >> b) & 1) << (8 - b);
			a[r] = aSamples512[i];
		}
		for (unsigned int len = 2; len <= N; len <<= 1)
		{
			float angle = -2.0f * 3.14159265f / len;
			std::complex<float> wl(cosf(angle), sinf(angle));
			for (unsigned int i = 0; i < N; i += len)
			{
				std::complex<float> w(1.0f, 0.0f);
				for (unsigned int j = 0; j < len / 2; j++)
				{
					std::complex<float> u = a[i + j], t = w * a[i + j + len / 2];
					a[i + j] = u + t;
					a[i + j + len / 2] = u - t;
					w *= wl;
				}
			}
		}
		for (unsigned int i = 0; i < 256; i++)
			aMagnitudes[i] = std::abs(a[i]);
	}
}
