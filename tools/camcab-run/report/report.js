(function () {
  'use strict';
  var status = {errors: [], plots: {}, spectrogram: 'absent'};
  function writeStatus() {
    document.getElementById('report-status').textContent = JSON.stringify(status);
  }
  window.addEventListener('error', function (e) { status.errors.push(String(e.message)); writeStatus(); });
  var D = window.driveData;
  var t = D.t.map(function (ms) { return ms / 1000; });
  var audioStart = D.audioStartMs / 1000;
  var player = document.getElementById('player');
  var graphs = [];
  var syncing = false;
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

  // Zooming or panning one plot moves the others and the spectrogram to the same range.
  function synchronize(g, initial) {
    if (syncing) return;
    var range = g.xAxisRange();
    if (!initial) {
      syncing = true;
      graphs.forEach(function (other) {
        var now = other.xAxisRange();
        if (other !== g && (now[0] !== range[0] || now[1] !== range[1])) {
          other.updateOptions({dateWindow: range});
        }
      });
      syncing = false;
    }
    drawSpectrogram(range);
  }

  // The first frame at or after time x.
  function frameAt(x) {
    var low = 0, high = t.length;
    while (low < high) {
      var middle = (low + high) >> 1;
      if (t[middle] < x) low = middle + 1; else high = middle;
    }
    return low;
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

  function plot(id, rows, labels, options) {
    var div = document.getElementById(id);
    if (!div) return null;
    if (!rows.length) { status.plots[id] = {rows: 0, series: 0}; return null; }
    var settings = {
      labels: labels, labelsDiv: id + '-legend', legend: 'always', labelsSeparateLines: false,
      xlabel: 'scenario time', axes: {x: {axisLabelFormatter: clock, valueFormatter: clock, axisLabelWidth: 80},
                                      y: {axisLabelWidth: 60}},
      drawCallback: synchronize, clickCallback: seek, connectSeparatedPoints: false,
      highlightCircleSize: 2
    };
    if (options.height) div.style.height = options.height + 'px';
    for (var key in options) {
      if (key !== 'axes' && key !== 'height') settings[key] = options[key];
    }
    for (var axis in options.axes || {}) settings.axes[axis] = options.axes[axis];
    var g = new Dygraph(div, rows, settings);
    g.reportId = id;
    graphs.push(g);
    status.plots[id] = {rows: g.numRows(), series: g.numColumns() - 1};
    return g;
  }

  // Scenario time is a time of day: h:mm:ss, with hundredths where there are any.
  function clock(x) {
    var s = ((x % 86400) + 86400) % 86400;
    var h = Math.floor(s / 3600), m = Math.floor(s / 60) % 60;
    var rest = (s - 3600 * h - 60 * m).toFixed(2).replace(/\.?0+$/, '');
    return h + ':' + (m < 10 ? '0' : '') + m + ':' + (Number(rest) < 10 ? '0' : '') + rest;
  }

  // Plots of one row per entry (lamps, sounds): a tick per row, labelled with its index, and
  // room for every row.
  function rowTicks(indices, spacing) {
    return function () {
      return indices.map(function (index, k) { return {v: k * spacing, label: String(index)}; });
    };
  }
  function rowsHeight(count) { return Math.max(260, 80 + 22 * count); }

  function column(values) { return values.map(function (v, i) { return [t[i], v]; }); }
  function seconds(rows) { return rows.map(function (row) { return [row[0] / 1000].concat(row.slice(1)); }); }

  if (t.length) {
    plot('speed', column(D.speed), ['time', 'speed'], {ylabel: 'km/h', colors: ['#1f5fbf']});

    var negate = function (values) { return values.map(function (v) { return v === null ? null : -v; }); };
    var bandValues = D.curves.concat([negate(D.brakeFirst), negate(D.brakeLast)]);
    var currentRows = t.map(function (x, i) {
      return [x, D.current[i]].concat(bandValues.map(function (values) { return values[i]; }));
    });
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
      currentRows.forEach(function (row) { row.push(-D.regenerationLimit); });
      currentLabels.push('regeneration limit (−)');
      currentColors.push('#7f7f7f');
      currentSeries['regeneration limit (−)'] = {strokePattern: [2, 4], strokeWidth: 1.2};
    }
    var current = plot('current', currentRows, currentLabels,
      {ylabel: 'A', colors: currentColors, strokeWidth: 0.8, series: currentSeries,
       underlayCallback: bandPainter(bandValues.map(function (values, k) {
         return {values: values, color: bandColors[k], tolerance: bandTolerances[k]};
       }))});
    // A marker where camcab told a stage reached (A, T, B, C, D) or regeneration released (R).
    if (current) {
      var markers = D.markers.map(function (m) {
        return {series: 'current', x: m[0] / 1000, shortText: m[1], text: m[2] + ' at ' + clock(m[0] / 1000)};
      });
      current.ready(function () { current.setAnnotations(markers); });
      status.markers = markers.length;
    }

    // camcab's own sounds, each on a line of its own, raised while it plays.
    var ownOffset = {};
    D.ownSoundNames.forEach(function (name, k) { ownOffset[name] = k * 1.5; });
    if (D.ownSoundNames.length) plot('own-sounds', seconds(D.ownSounds).map(function (row) {
      return [row[0]].concat(row.slice(1).map(function (v, k) { return v + k * 1.5; }));
    }), ['time'].concat(D.ownSoundNames), {
      ylabel: 'sound file', stepPlot: true,
      valueRange: [-0.5, Math.max(1, D.ownSoundNames.length) * 1.5], height: rowsHeight(D.ownSoundNames.length),
      axes: {y: {axisLabelWidth: 180, ticker: rowTicks(D.ownSoundNames, 1.5),
        valueFormatter: function (y, opts, name) { return Math.round(y - (ownOffset[name] || 0)) ? 'playing' : ''; }}}
    });

    plot('handles', seconds(D.handles),
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
    plot('lamps', seconds(D.lamps).map(function (row) {
      return [row[0]].concat(row.slice(1).map(function (v, k) { return v + k * 1.5; }));
    }), ['time'].concat(lampNames), {
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
    var needleRows = seconds(D.needles);
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
      plot(id, needleRows.map(function (row) {
        return [row[0]].concat(group.columns.map(function (k) { return row[k + 1]; }));
      }), ['time'].concat(group.columns.map(function (k) { return panelLabel(D.needleIndices[k]); })),
      {ylabel: 'value', stepPlot: true, height: 200});
    });

    // Host sound commands: a point per command at the height of its sound index.
    var kinds = {'1': ['P', 'play once'], '0': ['L', 'looping'], '-10000': ['S', 'stop'], '2': ['C', 'continue']};
    function kind(value) { return kinds[String(value)] || ['V', 'value ' + value]; }
    var soundColumn = {};
    D.soundIndices.forEach(function (index, k) { soundColumn[index] = k + 1; });
    var soundRows = [], soundValues = [], annotations = [];
    D.soundCommands.forEach(function (command) {
      var x = command[0] / 1000;
      var last = soundRows[soundRows.length - 1];
      if (!last || last[0] !== x) {
        last = [x].concat(D.soundIndices.map(function () { return null; }));
        soundRows.push(last);
        soundValues.push({});
      }
      last[soundColumn[command[1]]] = soundColumn[command[1]] - 1;
      soundValues[soundValues.length - 1][soundColumn[command[1]]] = command[2];
      if (annotations.length < D.mostSoundAnnotations) {
        var k = kind(command[2]);
        annotations.push({series: soundLabel(command[1]), x: x, shortText: k[0],
                          text: soundLabel(command[1]) + ': ' + k[1] + ' at ' + clock(x)});
      }
    });
    if (soundRows.length) {
      // The first and last frames keep the x-range equal to the other plots'.
      var blank = D.soundIndices.map(function () { return null; });
      if (soundRows[0][0] > t[0]) { soundRows.unshift([t[0]].concat(blank)); soundValues.unshift({}); }
      if (soundRows[soundRows.length - 1][0] < t[t.length - 1]) {
        soundRows.push([t[t.length - 1]].concat(blank)); soundValues.push({});
      }
    }
    var sounds = plot('sounds', soundRows, ['time'].concat(D.soundIndices.map(soundLabel)), {
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
      sounds.ready(function () { sounds.setAnnotations(annotations); });
      status.soundAnnotations = annotations.length;
    }

    plot('level', column(D.levelDbfs), ['time', 'level'], {ylabel: 'dBFS', colors: ['#2ca02c']});
  }
  // A link may name a time range: report.html#zoom=FROM,TO (seconds of the day).
  var zoom = /^#zoom=(-?[0-9.]+),(-?[0-9.]+)$/.exec(location.hash);
  if (zoom && graphs.length) graphs[0].updateOptions({dateWindow: [Number(zoom[1]), Number(zoom[2])]});
  status.ranges = {};
  graphs.forEach(function (g) { status.ranges[g.reportId] = g.xAxisRange(); });
  if (spectrogramImage) {
    var redraw = function () { if (graphs.length) drawSpectrogram(graphs[0].xAxisRange()); };
    if (spectrogramImage.complete) redraw(); else spectrogramImage.addEventListener('load', redraw);
    window.addEventListener('resize', redraw);
  }
  status.ready = true;
  writeStatus();
})();
