#include "markeye/Tracker.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "FrameSetup.h"
#include "TemporalTracks.h"
#include "ViewCheck.h"
#include "VoARException.h"
#include "VoARMatchPatt_Color_WITHOUT_PCA.h"
#include "VoARPatternChooser.h"
#include "VoARSquare.h"
#include "VoARTransMatResult.h"
#include "markeye/Error.h"

namespace markeye {

namespace {

using VoTrack::VoARSquare;

constexpr double NOT_SEEN = std::numeric_limits<double>::quiet_NaN();

void checkTemporalOptions(const TemporalOptions& i_options)
{
    const std::pair<const char*, double> rates[] = {{"min_cutoff_hz", i_options.min_cutoff_hz},
                                                    {"rotation_beta", i_options.rotation_beta},
                                                    {"translation_beta", i_options.translation_beta},
                                                    {"depth_beta", i_options.depth_beta},
                                                    {"derivative_cutoff_hz", i_options.derivative_cutoff_hz}};
    for (const auto& rate : rates) {
        if (!(rate.second >= 0.0) || !std::isfinite(rate.second)) {
            throw Error(std::string("tracker option temporal.") + rate.first + " must be a number from 0 up, not " +
                        std::to_string(rate.second));
        }
    }
    if (!(i_options.frame_rate > 0.0) || !std::isfinite(i_options.frame_rate)) {
        throw Error("tracker option temporal.frame_rate must be a positive number, not " +
                    std::to_string(i_options.frame_rate));
    }
    if (i_options.max_lost_frames < 0) {
        throw Error("tracker option temporal.max_lost_frames must be 0 or more, not " +
                    std::to_string(i_options.max_lost_frames));
    }
}

void checkOptions(const TrackerOptions& i_options)
{
    if (!(i_options.marker_width > 0.0) || !std::isfinite(i_options.marker_width)) {
        throw Error("tracker option marker_width must be a positive number, not " +
                    std::to_string(i_options.marker_width));
    }
    if (!(i_options.min_confidence >= 0.0 && i_options.min_confidence <= 1.0)) {
        throw Error("tracker option min_confidence must be from 0 to 1, not " +
                    std::to_string(i_options.min_confidence));
    }
    if (!(i_options.min_margin >= 0.0 && i_options.min_margin <= 1.0)) {
        throw Error("tracker option min_margin must be from 0 to 1, not " + std::to_string(i_options.min_margin));
    }
    if (i_options.threshold < 0 || i_options.threshold > 255) {
        throw Error("tracker option threshold must be from 0 to 255, not " + std::to_string(i_options.threshold));
    }
    checkTemporalOptions(i_options.temporal);
}

// Per pattern, the first pattern of the same grid and numbers (itself when
// it has no earlier twin).
std::vector<int32_t> firstTwins(const std::vector<Pattern>& i_patterns)
{
    std::vector<int32_t> first(i_patterns.size());
    for (std::size_t p = 0; p < i_patterns.size(); p++) {
        std::size_t q = 0;
        while (i_patterns[q].gridWidth() != i_patterns[p].gridWidth() ||
               i_patterns[q].gridHeight() != i_patterns[p].gridHeight() ||
               i_patterns[q].numbers() != i_patterns[p].numbers()) {
            q++;
        }
        first[p] = static_cast<int32_t>(q);
    }
    return first;
}

// A square chosen for a pattern in this frame, before its pose.
struct TCandidate
{
    int32_t square;
    int32_t pattern;
    int32_t direction;
    double confidence;
};

}  // namespace

TrackerOptions TrackerOptions::pluginCompatible()
{
    TrackerOptions options;
    options.marker_width = 80.0;
    options.binarisation = Binarisation::FIXED;
    options.threshold = 100;
    options.min_confidence = 0.0;
    options.pose_solver = PoseSolver::PLUGIN;
    options.plugin_compatible = true;
    return options;
}

// The frame setups of the sizes seen last, and the two ways of telling
// which square shows which pattern.
class Tracker::Impl
{
public:
    // Setups kept for the frame sizes seen last, so that a stream that
    // switches between a few sizes allocates only at the first of each.
    static constexpr std::size_t KEPT_SIZES = 4;

    Impl(const Camera& i_camera, std::vector<Pattern> i_patterns, const TrackerOptions& i_options)
        : _base_camera(i_camera), _patterns(std::move(i_patterns)), _options(i_options)
    {
        checkOptions(_options);
        if (_patterns.empty()) {
            throw Error("a tracker needs at least one pattern");
        }
        _best.assign(_patterns.size(), NOT_SEEN);
        if (!_options.plugin_compatible) {
            _chooser = std::make_unique<VoTrack::VoARPatternChooser>(static_cast<int32_t>(_patterns.size()),
                                                                     _options.min_confidence, _options.min_margin);
            _first_twins = firstTwins(_patterns);
        }
        const std::size_t most = std::max<std::size_t>(_patterns.size(), TFrameSetup::SQUARE_CAPACITY);
        _candidates.reserve(most);
        _detections.reserve(most);
        _setups.reserve(KEPT_SIZES);
        if (_options.temporal.enabled) {
            _temporal = std::make_unique<TemporalTracks>(_options, static_cast<int32_t>(most));
        }
        prepare(i_camera.width(), i_camera.height());
    }

    // The setup for this size becomes the current one, first in _setups.
    void prepare(int32_t i_width, int32_t i_height)
    {
        const auto found = std::find_if(_setups.begin(), _setups.end(),
                                        [&](const auto& setup) { return setup->isFor(i_width, i_height); });
        if (found != _setups.end()) {
            std::rotate(_setups.begin(), found, found + 1);
            return;
        }
        auto setup = std::make_unique<TFrameSetup>(_base_camera, i_width, i_height, _patterns, _options);
        if (_setups.size() == KEPT_SIZES) {
            _setups.pop_back();
        }
        _setups.insert(_setups.begin(), std::move(setup));
    }

    // i_time NaN: one frame period after the last.
    const std::vector<Detection>& track(const ImageView& i_frame, double i_time)
    {
        checkView(i_frame, "frame");
        prepare(i_frame.width, i_frame.height);
        TFrameSetup& setup = *_setups.front();
        if (_temporal != nullptr) {
            _temporal->beginFrame(i_time, setup);
        }
        const VoTrack::IVoARRgbRaster& raster = setup.input->read(i_frame);
        _candidates.clear();
        _detections.clear();
        std::fill(_best.begin(), _best.end(), NOT_SEEN);
        try {
            if (_options.plugin_compatible) {
                identifyBestPerPattern(setup, raster);
            } else {
                identifyUniqueSquares(setup, raster);
            }
        } catch (const VoTrack::VoARException&) {
            throw Error("more dark regions in the frame than the tracker can label; nothing was tracked");
        }
        for (const TCandidate& candidate : _candidates) {
            report(setup, candidate);
        }
        if (_temporal != nullptr) {
            _temporal->endFrame();
        }
        return _detections;
    }

    void resetTracks()
    {
        if (_temporal != nullptr) {
            _temporal->reset();
        }
    }

    const std::vector<double>& bestConfidences() const { return _best; }
    const Camera& camera() const { return _setups.front()->camera; }
    const std::vector<Pattern>& patterns() const { return _patterns; }
    const TrackerOptions& options() const { return _options; }

private:
    // The plug-in's way: each pattern's best square, whichever other
    // patterns it is also the best of.
    void identifyBestPerPattern(TFrameSetup& io_setup, const VoTrack::IVoARRgbRaster& i_raster)
    {
        VoTrack::VoARSingleDetectMarker::detectMarkers(io_setup.analysis.get(), &i_raster, _options.threshold,
                                                       io_setup.detector_list.data(),
                                                       static_cast<int32_t>(io_setup.detector_list.size()));
        for (std::size_t p = 0; p < io_setup.detectors.size(); p++) {
            const VoTrack::VoARSingleDetectMarker& detector = *io_setup.detectors[p];
            if (detector.getSquare() == nullptr) {
                continue;
            }
            _best[p] = detector.getConfidence();
            // The comparison also refuses a confidence that is not a number.
            if (detector.getConfidence() >= _options.min_confidence) {
                _candidates.push_back(TCandidate{-1, static_cast<int32_t>(p), detector.getDirection(),
                                                 detector.getConfidence()});
            }
        }
    }

    // Each square goes to the pattern and direction it matches best, when
    // that leads every other pair by the margin; copies of one pattern are
    // reported apart, by pattern, then largest first.
    void identifyUniqueSquares(TFrameSetup& io_setup, const VoTrack::IVoARRgbRaster& i_raster)
    {
        VoTrack::VoARFrameAnalysis& analysis = *io_setup.analysis;
        analysis.analyse(&i_raster, _options.threshold);
        if (io_setup.edges != nullptr) {
            analysis.refineSquares(io_setup.edges.get());
        }
        for (int32_t i = 0; i < analysis.getSquareCount(); i++) {
            _chooser->beginSquare();
            for (std::size_t p = 0; p < io_setup.codes.size(); p++) {
                VoTrack::VoARMatchPatt_Color_WITHOUT_PCA* matcher = analysis.sampleSquare(io_setup.grids[p], i);
                if (matcher == nullptr) {
                    continue;
                }
                matcher->matchCode(io_setup.codes[p].get());
                const double confidence = matcher->getConfidence();
                if (!(_best[p] >= confidence)) {
                    _best[p] = confidence;
                }
                // A twin would be its first's runner-up, leaving no margin.
                if (_first_twins[p] == static_cast<int32_t>(p)) {
                    _chooser->addPattern(static_cast<int32_t>(p), matcher->getCorrelations());
                }
            }
            VoTrack::VoARPatternChooser::TChoice choice;
            if (_chooser->choose(&choice)) {
                _candidates.push_back(TCandidate{i, choice.pattern, choice.direction, choice.confidence});
            }
        }
        std::sort(_candidates.begin(), _candidates.end(), [](const TCandidate& a, const TCandidate& b) {
            return a.pattern != b.pattern ? a.pattern < b.pattern : a.square < b.square;
        });
    }

    void report(TFrameSetup& io_setup, const TCandidate& i_candidate)
    {
        const bool per_pattern = i_candidate.square < 0;
        VoTrack::VoARSingleDetectMarker* detector =
            per_pattern ? io_setup.detectors[static_cast<std::size_t>(i_candidate.pattern)].get() : nullptr;
        // In the default way the square was refined before it was sampled.
        const VoARSquare* square = per_pattern ? detector->getSquare() : io_setup.analysis->getSquare(i_candidate.square);
        VoTrack::VoARTransMatResult pose;
        double ambiguity = NOT_SEEN;
        int64_t track_id = -1;
        try {
            if (_temporal != nullptr) {
                TemporalTracks::TPose tracked;
                if (!_temporal->solve(io_setup, *square, i_candidate.pattern, i_candidate.direction, detector,
                                      &tracked)) {
                    return;
                }
                pose = tracked.pose;
                ambiguity = tracked.ambiguity;
                track_id = tracked.track_id;
            } else if (per_pattern) {
                detector->getPose(&pose);
            } else if (!solvePose(io_setup, *square, i_candidate.direction, &pose, &ambiguity)) {
                return;
            }
        } catch (const VoTrack::VoARException&) {
            // Degenerate geometry: a square without a pose is not reported.
            return;
        }
        Detection detection;
        detection.pose_ambiguity = ambiguity;
        detection.track_id = track_id;
        detection.pattern = i_candidate.pattern;
        detection.confidence = i_candidate.confidence;
        // The pose reads "no direction" (-1) as direction 3; say so.
        detection.direction = ((i_candidate.direction % 4) + 4) % 4;
        const double rows[3][4] = {{pose.m00, pose.m01, pose.m02, pose.m03},
                                   {pose.m10, pose.m11, pose.m12, pose.m13},
                                   {pose.m20, pose.m21, pose.m22, pose.m23}};
        for (int r = 0; r < 3; r++) {
            detection.rotation[r] = {rows[r][0], rows[r][1], rows[r][2]};
            detection.translation[r] = rows[r][3];
        }
        fillCorners(*io_setup.param, *square, &detection);
        _detections.push_back(detection);
    }

    // The pose of a square in the default way, with the solver chosen; false
    // for a square the planar solver finds degenerate.
    bool solvePose(TFrameSetup& io_setup, const VoARSquare& i_square, int32_t i_direction,
                   VoTrack::VoARTransMatResult* o_pose, double* o_ambiguity) const
    {
        if (_options.pose_solver == PoseSolver::PLUGIN) {
            io_setup.pose->computePose(&i_square, i_direction, _options.marker_width, o_pose);
            return true;
        }
        double corners[4][2];
        for (int i = 0; i < 4; i++) {
            const double* ideal = i_square.ideal_vertices[(i + 4 - i_direction) % 4];
            corners[i][0] = ideal[0];
            corners[i][1] = ideal[1];
        }
        double error = 0.0;
        return io_setup.planar_pose->solve(corners, _options.marker_width, o_pose, &error, o_ambiguity);
    }

    // Corners in observed pixels, and the reprojection error of the pose
    // against the square's ideal corners.
    void fillCorners(const VoTrack::VoARParam& i_param, const VoARSquare& i_square, Detection* io_detection) const
    {
        const double half = _options.marker_width / 2.0;
        // Marker vertices 0 to 3 in the marker frame (z = 0).
        const double vertices[4][2] = {{-half, half}, {half, half}, {half, -half}, {-half, -half}};
        double m[12];
        i_param.getProjectionMatrix()->getValue(m);
        double squared = 0.0;
        for (int i = 0; i < 4; i++) {
            const double* ideal = i_square.ideal_vertices[(i + 4 - io_detection->direction) % 4];
            const VoTrack::TVoARDoublePoint_t point{ideal[0], ideal[1]};
            VoTrack::TVoARDoublePoint_t observed;
            i_param.getDistortionFactor()->ideal2Observ(&point, &observed);
            io_detection->corners[i] = {observed.x, observed.y};
            double camera_point[3];
            for (int r = 0; r < 3; r++) {
                camera_point[r] = io_detection->rotation[r][0] * vertices[i][0] +
                                  io_detection->rotation[r][1] * vertices[i][1] + io_detection->translation[r];
            }
            double projected[3];
            for (int r = 0; r < 3; r++) {
                projected[r] = m[4 * r] * camera_point[0] + m[4 * r + 1] * camera_point[1] +
                               m[4 * r + 2] * camera_point[2] + m[4 * r + 3];
            }
            const double dx = projected[0] / projected[2] - ideal[0];
            const double dy = projected[1] / projected[2] - ideal[1];
            squared += dx * dx + dy * dy;
        }
        // A vertex on the camera's plane projects to 0 / 0: no finite error.
        io_detection->reprojection_error =
            std::isnan(squared) ? std::numeric_limits<double>::infinity() : std::sqrt(squared / 4.0);
    }

    Camera _base_camera;
    std::vector<Pattern> _patterns;
    TrackerOptions _options;
    // Most recently used first; never empty once built.
    std::vector<std::unique_ptr<TFrameSetup>> _setups;
    // The default way's choice of a square's pattern; null with
    // plugin_compatible.
    std::unique_ptr<VoTrack::VoARPatternChooser> _chooser;
    std::vector<int32_t> _first_twins;
    std::vector<double> _best;
    std::vector<TCandidate> _candidates;
    std::vector<Detection> _detections;
    // Null without temporal tracking.
    std::unique_ptr<TemporalTracks> _temporal;
};

Tracker::Tracker(const Camera& i_camera, std::vector<Pattern> i_patterns, const TrackerOptions& i_options)
    : _impl(std::make_unique<Impl>(i_camera, std::move(i_patterns), i_options))
{
}

Tracker::~Tracker() = default;
Tracker::Tracker(Tracker&& io_other) noexcept = default;
Tracker& Tracker::operator=(Tracker&& io_other) noexcept = default;

const std::vector<Detection>& Tracker::track(const ImageView& i_frame)
{
    return _impl->track(i_frame, NOT_SEEN);
}

const std::vector<Detection>& Tracker::track(const ImageView& i_frame, double i_time)
{
    return _impl->track(i_frame, i_time);
}

void Tracker::resetTracks()
{
    _impl->resetTracks();
}

void Tracker::prepare(int32_t i_width, int32_t i_height)
{
    _impl->prepare(i_width, i_height);
}

const std::vector<double>& Tracker::bestConfidences() const
{
    return _impl->bestConfidences();
}

const Camera& Tracker::camera() const
{
    return _impl->camera();
}

const std::vector<Pattern>& Tracker::patterns() const
{
    return _impl->patterns();
}

const TrackerOptions& Tracker::options() const
{
    return _impl->options();
}

}  // namespace markeye
