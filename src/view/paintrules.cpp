#include "view/paintrules.h"

TPGPaintDecision PGDecidePaint(const TPGPaintInputs& in) {
    TPGPaintDecision d;
    d.stale = in.paintStale;
    if (in.stretchMode != smFast && !in.reduceOnLoad && in.lastPaintSize != in.boxSize)
        d.stale = true;
    if (in.hasPicture) {
        const bool resample = PGResamples(in.stretchMode, in.pictureSize, in.boxSize);
        d.needed = (in.D < in.G && in.D <= 8) || resample;
        const bool mayReduce = !in.reduceOnLoad || d.stale;
        if (in.G <= 8 && in.D <= 8) {
            if (in.D == 4) {
                if (in.ident != pSys16 && mayReduce) d.needed = true;
            } else if (!d.needed) {
                d.needed = in.palette8BitSys8BitGraphic != pSource &&
                           in.palette8BitSys8BitGraphic != in.ident && mayReduce;
            }
        }
    }
    const bool keepOld = in.keepOld && in.useThread;
    if (in.hasPaintPicture && (!d.needed || (d.stale && !keepOld))) d.dropPaint = true;
    if (!d.needed) {
        d.drawPicture = true;
        return d;
    }
    const bool hasPaint = in.hasPaintPicture && !d.dropPaint;
    if (!d.stale && (hasPaint || in.jobInFlight)) return d;
    if (!d.stale && in.jobFailed) {
        d.drawPicture = true;
        return d;
    }
    d.start = true;
    return d;
}

TPGPaintPlan PGPlanPaint(const TPGPlanInputs& in) {
    TPGPaintPlan p;
    const bool resample = PGResamples(in.stretchMode, in.pictureSize, in.boxSize);
    if (in.allow24BitStretch && resample && in.D == 8 &&
        in.palette8BitSys24BitGraphic == pOptimized252Sys16) {
        p.preStretch = true;
        p.intermediateSize = in.boxSize;
        ++p.total;
    }
    const int interBits = p.preStretch ? 24 : in.G;
    if (in.D <= 7) {
        p.format = pg4Bit;
        p.install = pSys16;
    } else if (in.D > 8) {
        p.format = pg24Bit;
    } else {
        p.format = pg8Bit;
        if (interBits == 24) {
            if (in.palette8BitSys24BitGraphic == pOptimized252Sys16)
                p.optimise = true;
            else
                p.install = in.palette8BitSys24BitGraphic;
        } else if (in.palette8BitSys8BitGraphic <= pSpecial252) {
            p.install = in.palette8BitSys8BitGraphic;
        } else if (in.palette8BitSys8BitGraphic == pOptimized252Sys16) {
            p.optimise = true;
        } else if (in.palette8BitSys8BitGraphic == pSource) {
            p.copySourcePalette = true;
        }
        if (p.optimise) ++p.total;
    }
    p.size = in.stretchMode != smFast ? in.boxSize : in.pictureSize;
    return p;
}
