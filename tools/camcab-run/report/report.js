(function () {
  'use strict';
  var status = {errors: [], plots: {}, spectrogram: 'absent'};
  function writeStatus() {
    document.getElementById('report-status').textContent = JSON.stringify(status);
  }
  window.addEventListener('error', function (e) { status.errors.push(String(e.message)); writeStatus(); });
  var P = window.CamcabPlots, unpack = P.unpack, clock = P.clock;
  var rowTicks = P.rowTicks, rowsHeight = P.rowsHeight, fingerprint = P.fingerprint;
  var D = window.driveData;
  var n = D.frames;

  function unpackFrames(text) { return unpack(text, n); }
  var t = unpackFrames(D.t);

  var audioStart = D.audioStartMs / 1000;
  var player = document.getElementById('player');
  var spectrogram = document.getElementById('spectrogram');
  var spectrogramImage = document.getElementById('spectrogram-image');

  function drawSpectrogram(range) {
    if (!spectrogram || !spectrogramImage || !spectrogramImage.complete || !graphs.length) return;
    var area = graphs[0].getArea();
    var width = spectrogram.clientWidth, height = spectrogram.clientHeight;
    spectrogram.width = width; spectrogram.height = height;
    var ctx = spectrogram.getContext('2d');
    ctx.clearRect(0, 0, width, height);
    ctx.fillStyle = '#000';
    ctx.fillRect(area.x, 0, area.w, height);
    var x0 = range[0], x1 = range[1];
    var a0 = audioStart, a1 = audioStart + D.audioSeconds;
    var s0 = Math.max(x0, a0), s1 = Math.min(x1, a1);
    var imageWidth = spectrogramImage.naturalWidth, imageHeight = spectrogramImage.naturalHeight;
    if (s1 > s0 && x1 > x0 && imageWidth > 0) {
      ctx.drawImage(spectrogramImage,
        (s0 - a0) / D.audioSeconds * imageWidth, 0, (s1 - s0) / D.audioSeconds * imageWidth, imageHeight,
        area.x + (s0 - x0) / (x1 - x0) * area.w, 0, (s1 - s0) / (x1 - x0) * area.w, height);
    }
    ctx.fillStyle = '#222'; ctx.font = '11px sans-serif'; ctx.textAlign = 'right';
    var top = D.spectrogramTopHz / 1000;
    for (var k = 0; k <= 4; ++k) {
      var y = height - k / 4 * height;
      ctx.textBaseline = k === 0 ? 'bottom' : k === 4 ? 'top' : 'middle';
      ctx.fillText((top * k / 4) + ' kHz', area.x - 6, y);
    }
    status.spectrogram = 'drawn';
    writeStatus();
  }

  // The curves' bands (value +- tolerance), drawn under the lines: one polygon per stretch of values,
  // at about one point per pixel.
  function bandPainter(bands) {
    return function (ctx, area, g) {
      var range = g.xAxisRange();
      var first = Math.max(0, frameAt(range[0]) - 1), last = Math.min(t.length - 1, frameAt(range[1]));
      var stride = Math.max(1, Math.floor((last - first) / Math.max(1, area.w)));
      ctx.save();
      ctx.globalAlpha = 0.25;
      bands.forEach(function (band) {
        ctx.fillStyle = band.color;
        var back = [];
        function close() {
          for (var k = back.length - 2; k >= 0; k -= 2) ctx.lineTo(back[k], back[k + 1]);
          if (back.length) { ctx.closePath(); ctx.fill(); }
          back = [];
        }
        for (var i = first; i <= last; i = i < last && i + stride > last ? last : i + stride) {
          var v = band.values[i];
          if (v === null || !isFinite(v)) { close(); continue; }
          var x = g.toDomXCoord(t[i]);
          if (!back.length) ctx.beginPath();
          ctx.lineTo(x, g.toDomYCoord(v + band.tolerance));
          back.push(x, g.toDomYCoord(v - band.tolerance));
          if (i === last) break;
        }
        close();
      });
      ctx.restore();
    };
  }

  function seek(e, x) {
    if (!player) return;
    player.currentTime = Math.max(0, x - audioStart);
    var playing = player.play();
    if (playing && playing.catch) playing.catch(function () {});
  }

  var plots = P.Plots(t, status, writeStatus, drawSpectrogram, seek);
  var graphs = plots.graphs, plot = plots.plot, frameSource = plots.frameSource;
  var frameAt = plots.frameAt, annotators = plots.annotators, withinRange = plots.withinRange;
  var kDetailFrames = plots.kDetailFrames, kStretches = plots.kStretches;

  if (n) {
    var speedColumn = unpackFrames(D.speed);
    plot('speed', frameSource([speedColumn]), ['time', 'speed'], {ylabel: 'km/h', colors: ['#1f5fbf']});

    var negated = function (text) { return unpackFrames(text).map(function (v) { return -v; }); };
    var bandValues = D.curves.map(unpackFrames).concat([negated(D.brakeFirst), negated(D.brakeLast)]);
    var currentColumns = [unpackFrames(D.current)].concat(bandValues);
    status.columns = {speed: fingerprint(speedColumn), current: fingerprint(currentColumns[0])};
    var curveColors = D.curveNames.map(function (name, k) {
      return 'hsl(' + Math.round(100 + 220 * k / Math.max(1, D.curveNames.length - 1)) + ',65%,45%)';
    });
    var bandColors = curveColors.concat(['#d62728', '#ff7f0e']);
    var bandTolerances = D.curveTolerances.concat([D.brakeTolerance, D.brakeTolerance]);
    var currentLabels = ['time', 'current'].concat(D.curveNames, ['brake first (−)', 'brake last (−)']);
    var currentColors = ['#000'].concat(bandColors);
    var currentSeries = {current: {strokeWidth: 1.6}};
    // Regeneration is released where the regenerative current passes this line.
    if (D.regenerationLimit > 0) {
      currentColumns.push(new Float64Array(n).fill(-D.regenerationLimit));
      currentLabels.push('regeneration limit (−)');
      currentColors.push('#7f7f7f');
      currentSeries['regeneration limit (−)'] = {strokePattern: [2, 4], strokeWidth: 1.2};
    }
    // A marker where camcab told a stage reached (A, T, B, C, D), regeneration released (R), the
    // first brake curve met (N) or the camshaft held (H).
    var markerTimes = D.markers.map(function (m) { return m[0] / 1000; });
    var markerFrames = markerTimes.map(frameAt).filter(function (f) { return f < n; });
    var current = plot('current', frameSource(currentColumns, markerFrames), currentLabels,
      {ylabel: 'A', colors: currentColors, strokeWidth: 0.8, series: currentSeries,
       underlayCallback: bandPainter(bandValues.map(function (values, k) {
         return {values: values, color: bandColors[k], tolerance: bandTolerances[k]};
       }))});
    if (current) {
      annotators.push(function (range) {
        var labels = withinRange(markerTimes, range).slice(0, D.mostSoundAnnotations).map(function (k) {
          var m = D.markers[k];
          return {series: 'current', x: m[0] / 1000, shortText: m[1], text: m[2] + ' at ' + clock(m[0] / 1000)};
        });
        current.ready(function () { current.setAnnotations(labels); });
      });
      status.markers = D.markers.length;
    }

    // Plots of one line per entry (camcab's sounds, lamps): entry k at k * 1.5, one higher when
    // on.
    function laneColumns(texts) {
      return texts.map(function (text, k) { return unpackFrames(text).map(function (v) { return v + k * 1.5; }); });
    }

    // camcab's own sounds, each on a line of its own, raised while it plays.
    var ownOffset = {};
    D.ownSoundNames.forEach(function (name, k) { ownOffset[name] = k * 1.5; });
    if (D.ownSoundNames.length) plot('own-sounds', frameSource(laneColumns(D.ownSounds)), ['time'].concat(D.ownSoundNames), {
      ylabel: 'sound file', stepPlot: true,
      valueRange: [-0.5, Math.max(1, D.ownSoundNames.length) * 1.5], height: rowsHeight(D.ownSoundNames.length),
      axes: {y: {axisLabelWidth: 180, ticker: rowTicks(D.ownSoundNames, 1.5),
        valueFormatter: function (y, opts, name) { return Math.round(y - (ownOffset[name] || 0)) ? 'playing' : ''; }}}
    });

    plot('handles', frameSource(D.handles.map(unpackFrames)),
      ['time', 'driver power', 'driver brake', 'driver reverser', 'power', 'brake', 'reverser'],
      {ylabel: 'notch', stepPlot: true,
       colors: ['#9ecae1', '#fdae6b', '#bcbddc', '#08519c', '#d94801', '#54278f'],
       series: {'driver power': {strokePattern: [6, 3]}, 'driver brake': {strokePattern: [6, 3]},
                'driver reverser': {strokePattern: [6, 3]}}});

    // Each entry is labelled with what camcab writes there, where it is one of camcab's.
    function panelLabel(i) { return 'panel ' + i + (D.panelNames[i] ? ' ' + D.panelNames[i][0] : ''); }
    function soundLabel(i) { return 'sound ' + i + (D.soundNames[i] ? ' ' + D.soundNames[i] : ''); }

    // Each lamp on a line of its own: lamp k at k * 1.5, lit one higher.
    var lampNames = D.lampIndices.map(panelLabel);
    var lampOffset = {};
    lampNames.forEach(function (name, k) { lampOffset[name] = k * 1.5; });
    plot('lamps', frameSource(laneColumns(D.lamps)), ['time'].concat(lampNames), {
      ylabel: 'lamp (panel index)', stepPlot: true,
      valueRange: [-0.5, Math.max(1, lampNames.length) * 1.5], height: rowsHeight(lampNames.length),
      axes: {y: {axisLabelWidth: 60, ticker: rowTicks(D.lampIndices, 1.5),
        valueFormatter: function (y, opts, name) { return String(Math.round(y - (lampOffset[name] || 0))); }}}
    });

    // The needles, digits and other values: one plot per group of like values, so that a
    // 0-500 needle is not squashed under a 10000 swing value.
    var groups = [], groupOf = {};
    D.needleIndices.forEach(function (index, k) {
      var name = D.panelNames[index] ? D.panelNames[index][1] : 'other values';
      if (!(name in groupOf)) { groupOf[name] = groups.length; groups.push({name: name, columns: []}); }
      groups[groupOf[name]].columns.push(k);
    });
    var needleColumns = D.needles.map(unpackFrames);
    var container = document.getElementById('needle-groups');
    groups.forEach(function (group, g) {
      var id = 'needles-' + g;
      var title = document.createElement('h3');
      title.textContent = group.name;
      var div = document.createElement('div');
      div.id = id; div.className = 'plot';
      var legend = document.createElement('div');
      legend.id = id + '-legend'; legend.className = 'legend';
      container.appendChild(title); container.appendChild(div); container.appendChild(legend);
      plot(id, frameSource(group.columns.map(function (k) { return needleColumns[k]; })),
        ['time'].concat(group.columns.map(function (k) { return panelLabel(D.needleIndices[k]); })),
        {ylabel: 'value', stepPlot: true, height: 200});
    });

    // Host sound commands: a point per command at the height of its sound index.
    var kinds = {'1': ['P', 'play once'], '0': ['L', 'looping'], '-10000': ['S', 'stop'], '2': ['C', 'continue']};
    function kind(value) { return kinds[String(value)] || ['V', 'value ' + value]; }
    var soundColumn = {};
    D.soundIndices.forEach(function (index, k) { soundColumn[index] = k + 1; });
    var commands = D.soundCommands;
    var commandTimes = unpack(commands.t, commands.count);
    var commandIndices = unpack(commands.index, commands.count);
    var commandValues = unpack(commands.value, commands.count);
    var blank = D.soundIndices.map(function () { return null; });
    // The rows of commands first..last, one per time, or where they are many, one per stretch
    // of time holding the first command of each sound in it; `values` gets each row's values.
    function appendCommands(rows, values, first, last) {
      var stretch = last - first + 1 > kDetailFrames
        ? (commandTimes[last] - commandTimes[first]) / kStretches : 0;
      for (var k = first; k <= last; ++k) {
        var x = commandTimes[k], row = rows[rows.length - 1];
        if (!row || (stretch ? x - row[0] >= stretch : x !== row[0])) {
          row = [x].concat(blank);
          rows.push(row);
          values.push({});
        }
        var col = soundColumn[commandIndices[k]];
        if (row[col] === null) { row[col] = col - 1; values[values.length - 1][col] = commandValues[k]; }
      }
    }
    var overviewValues = [], overview = [];
    appendCommands(overview, overviewValues, 0, commands.count - 1);
    var soundValues = overviewValues;
    function commandAt(x) {
      var low = 0, high = commands.count;
      while (low < high) { var middle = (low + high) >> 1; if (commandTimes[middle] < x) low = middle + 1; else high = middle; }
      return low;
    }
    function soundSource(range) {
      var rows = [], values = [], i = 0;
      if (!range) {
        rows = overview.slice(); values = overviewValues.slice();
      } else {
        var first = commandAt(range[0]), last = commandAt(range[1] + 1e-9) - 1;
        for (; i < overview.length && overview[i][0] < range[0]; ++i) { rows.push(overview[i]); values.push(overviewValues[i]); }
        appendCommands(rows, values, first, last);
        for (; i < overview.length; ++i) if (overview[i][0] > range[1]) { rows.push(overview[i]); values.push(overviewValues[i]); }
      }
      // The first and last frames keep the x-range equal to the other plots'.
      if (rows.length && rows[0][0] > t[0]) { rows.unshift([t[0]].concat(blank)); values.unshift({}); }
      if (rows.length && rows[rows.length - 1][0] < t[n - 1]) { rows.push([t[n - 1]].concat(blank)); values.push({}); }
      soundValues = values;
      return {rows: rows, everyFrame: !range || last - first + 1 <= kDetailFrames};
    }
    var sounds = plot('sounds', soundSource, ['time'].concat(D.soundIndices.map(soundLabel)), {
      ylabel: 'sound index', drawPoints: true, strokeWidth: 0, pointSize: 3,
      valueRange: [-1, D.soundIndices.length], height: rowsHeight(D.soundIndices.length),
      // Each row named on the axis, wide enough that no label runs into the plot.
      axes: {y: {axisLabelWidth: 230, ticker: rowTicks(D.soundIndices.map(function (i) {
          return i + (D.soundNames[i] ? ' ' + D.soundNames[i] : '');
        }), 1),
        valueFormatter: function (y, opts, name, g, row, col) {
          var value = soundValues[row] && soundValues[row][col];
          return value === undefined ? '' : kind(value)[1];
        }}}
    });
    if (sounds) {
      // Every command in the range is labelled where there are at most the most labels.
      annotators.push(function (range) {
        var within = withinRange(commandTimes, range);
        var labels = within.length > D.mostSoundAnnotations ? [] : within.map(function (k) {
          var x = commandTimes[k], value = kind(commandValues[k]), label = soundLabel(commandIndices[k]);
          return {series: label, x: x, shortText: value[0], text: label + ': ' + value[1] + ' at ' + clock(x)};
        });
        sounds.ready(function () { sounds.setAnnotations(labels); });
        status.soundAnnotations = labels.length;
      });
    }

    plot('level', frameSource([unpackFrames(D.levelDbfs)]), ['time', 'level'], {ylabel: 'dBFS', colors: ['#2ca02c']});
    plots.annotate(null);
  }
  plots.start();
  if (spectrogramImage) {
    var redraw = function () { if (graphs.length) drawSpectrogram(graphs[0].xAxisRange()); };
    if (spectrogramImage.complete) redraw(); else spectrogramImage.addEventListener('load', redraw);
    window.addEventListener('resize', redraw);
  }
  status.ready = true;
  status.readyMs = Math.round(performance.now());
  writeStatus();
})();
