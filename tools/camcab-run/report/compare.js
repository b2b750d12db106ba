(function () {
  'use strict';
  var status = {errors: [], plots: {}};
  function writeStatus() {
    document.getElementById('report-status').textContent = JSON.stringify(status);
  }
  window.addEventListener('error', function (e) { status.errors.push(String(e.message)); writeStatus(); });
  var P = window.CamcabPlots;
  var D = window.compareData;
  var n = D.frames;
  function unpackFrames(text) { return P.unpack(text, n); }
  var t = unpackFrames(D.t);
  var plots = P.Plots(t, status, writeStatus, function () {}, function () {});
  var drives = [{name: 'A', data: D.a, dash: null}, {name: 'B', data: D.b, dash: [6, 3]}];
  // Each drive's options for a series: B dashed.
  function seriesOptions(labels) {
    var options = {};
    labels.forEach(function (label) {
      if (label.charAt(0) === 'B') options[label] = {strokePattern: [6, 3]};
    });
    return options;
  }

  if (n) {
    var speedLabels = ['A speed', 'B speed'];
    plots.plot('speed', plots.frameSource(drives.map(function (d) { return unpackFrames(d.data.speed); })),
      ['time'].concat(speedLabels), {ylabel: 'km/h', colors: ['#1f5fbf', '#d62728'], series: seriesOptions(speedLabels)});

    var currentColumns = [], currentLabels = [], currentColors = [];
    drives.forEach(function (d, k) {
      currentColumns.push(unpackFrames(d.data.current));
      currentLabels.push(d.name + ' current');
      currentColors.push(k ? '#d62728' : '#000');
    });
    drives.forEach(function (d) {
      d.data.curves.forEach(function (text, c) {
        currentColumns.push(unpackFrames(text));
        currentLabels.push(d.name + ' ' + D.curveNames[c]);
        currentColors.push('hsl(' + Math.round(100 + 220 * c / Math.max(1, D.curveNames.length - 1)) + ',65%,45%)');
      });
    });
    var currentSeries = seriesOptions(currentLabels);
    currentSeries['A current'] = {strokeWidth: 1.6};
    currentSeries['B current'] = {strokeWidth: 1.6, strokePattern: [6, 3]};
    plots.plot('current', plots.frameSource(currentColumns), ['time'].concat(currentLabels),
      {ylabel: 'A', colors: currentColors, strokeWidth: 0.8, series: currentSeries});

    // The stages: a point where a drive told one, A on the lower line of each, B on the upper.
    var letters = ['A', 'T', 'B', 'C', 'D', 'R', 'N', 'H'];
    var stageColumns = [], stageLabels = [], kept = [], markers = [];
    drives.forEach(function (d, k) {
      letters.forEach(function (letter, row) {
        var column = new Float64Array(n).fill(NaN);
        d.data.markers.forEach(function (m) {
          var f = plots.frameAt(m[0] / 1000);
          if (m[1] === letter && f < n) {
            column[f] = 2 * row + 0.8 * k;
            kept.push(f);
            markers.push({label: d.name + ': ' + letter, x: t[f], letter: letter, text: d.name + ': ' + m[2] + ' at ' + P.clock(t[f])});
          }
        });
        stageColumns.push(column);
        stageLabels.push(d.name + ': ' + letter);
      });
    });
    kept.sort(function (x, y) { return x - y; });
    var stages = plots.plot('stages', plots.frameSource(stageColumns, kept), ['time'].concat(stageLabels), {
      ylabel: 'stage', drawPoints: true, strokeWidth: 0, pointSize: 4,
      colors: stageLabels.map(function (label) { return label.charAt(0) === 'A' ? '#000' : '#d62728'; }),
      valueRange: [-1, 2 * letters.length], height: P.rowsHeight(letters.length),
      axes: {y: {ticker: P.rowTicks(letters, 2)}}
    });
    if (stages) {
      var markerTimes = markers.map(function (m) { return m.x; });
      plots.annotators.push(function (range) {
        var labels = plots.withinRange(markerTimes, range).slice(0, 1000).map(function (k) {
          var m = markers[k];
          return {series: m.label, x: m.x, shortText: m.letter, text: m.text};
        });
        stages.ready(function () { stages.setAnnotations(labels); });
        status.markers = markers.length;
      });
    }

    // camcab's own sounds: file k at 3k for drive A, 3k + 1.2 for drive B, one higher while it plays.
    if (D.soundFiles.length) {
      var soundColumns = [], soundLabels = [];
      D.soundFiles.forEach(function (file, k) {
        drives.forEach(function (d, j) {
          soundColumns.push(unpackFrames(d.data.ownSounds[k]).map(function (v) { return v + 3 * k + 1.2 * j; }));
          soundLabels.push(d.name + ' ' + file);
        });
      });
      plots.plot('own-sounds', plots.frameSource(soundColumns), ['time'].concat(soundLabels), {
        ylabel: 'sound file', stepPlot: true, series: seriesOptions(soundLabels),
        colors: soundLabels.map(function (label) { return label.charAt(0) === 'A' ? '#000' : '#d62728'; }),
        valueRange: [-0.5, 3 * D.soundFiles.length], height: P.rowsHeight(2 * D.soundFiles.length),
        axes: {y: {axisLabelWidth: 180, ticker: P.rowTicks(D.soundFiles, 3)}}
      });
    }

    var handleColumns = [], handleLabels = [];
    drives.forEach(function (d) {
      ['power', 'brake', 'reverser'].forEach(function (name, h) {
        handleColumns.push(unpackFrames(d.data.handles[h]));
        handleLabels.push(d.name + ' ' + name);
      });
    });
    plots.plot('handles', plots.frameSource(handleColumns), ['time'].concat(handleLabels), {
      ylabel: 'notch', stepPlot: true, series: seriesOptions(handleLabels),
      colors: ['#08519c', '#d94801', '#54278f', '#08519c', '#d94801', '#54278f']
    });
    plots.annotate(null);
  }
  plots.start();
  status.ready = true;
  writeStatus();
})();
