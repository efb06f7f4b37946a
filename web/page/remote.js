// Tendril web remote: the phone's side of the link, in the browser. Speaks
// the same JSON messages as the native phone over a WebSocket to the desktop.
'use strict';

const MAX_MESSAGE = 9999999; // bytes of one message, as the desktop reads them
const LONG_PRESS_MS = 500;
const $ = (id) => document.getElementById(id);

const state = {
  socket: null,
  paired: false,
  pinSent: '',           // the PIN of the last iPhoneHello
  retryMs: 500,          // the next reconnection's delay, doubled up to the cap
  retryTimer: 0,
  openedAt: 0,
  shortLinks: 0,         // links in a row that ended soon after they opened
  apps: [],
  running: new Set(),
  frontmost: null,
  menuFor: null,
  clipImageUrl: '',
};

// The PIN is kept for this tab only, to pair again after a lost link.
const storedPin = {
  get: () => sessionStorage.getItem('tendril.pin') || '',
  set: (pin) => sessionStorage.setItem('tendril.pin', pin),
  clear: () => sessionStorage.removeItem('tendril.pin'),
};

function setStatus(text, kind) {
  const status = $('status');
  status.textContent = text;
  status.dataset.state = kind;
}

function send(kind, payload = {}) {
  const socket = state.socket;
  if (!socket || socket.readyState !== WebSocket.OPEN)
    return false;
  socket.send(JSON.stringify({ [kind]: payload }));
  return true;
}

// --- Connection ---------------------------------------------------------

// The desktop serves one phone at a time: a newer link replaces the older.
// Two pages that both reconnected at once would take the link from each
// other for ever, so links that keep ending soon stop the retries (the
// Reconnect button starts again), and a hidden page waits until it is shown.
const SHORT_LINK_MS = 15000;
const MAX_SHORT_LINKS = 6;

function connect() {
  clearTimeout(state.retryTimer);
  state.retryTimer = 0;
  $('reconnect').hidden = true;
  if (document.hidden) {
    setStatus('Offline', 'offline');
    return; // connects when shown
  }
  setStatus('Connecting…', 'connecting');
  const socket = new WebSocket(`ws://${location.host}/link`);
  state.socket = socket;
  let greeted = false;
  socket.onopen = () => { state.openedAt = Date.now(); };
  socket.onmessage = (event) => {
    greeted = true;
    let message;
    try {
      message = JSON.parse(event.data);
    } catch {
      return; // a message that cannot be read is skipped, like the desktop does
    }
    if (message && typeof message === 'object')
      receive(message);
  };
  socket.onclose = (event) => {
    if (state.socket !== socket)
      return;
    state.socket = null;
    state.paired = false;
    if (state.openedAt && Date.now() - state.openedAt > SHORT_LINK_MS) {
      state.retryMs = 500;
      state.shortLinks = 0;
    } else {
      ++state.shortLinks;
    }
    state.openedAt = 0;
    // The desktop says why it ended the link.
    if (event.reason === 'replaced' || event.reason === 'forgotten') {
      setStatus(event.reason === 'replaced' ? 'Another phone took over the desktop' : 'The desktop forgot this phone', 'offline');
      $('reconnect').hidden = false;
      return;
    }
    if (event.reason === 'wrong PINs') {
      storedPin.clear();
      $('pair-message').textContent = 'Too many wrong PINs: the desktop drew a new PIN.';
    }
    if (event.code === 1008 && !greeted) {
      setStatus('Refused by the desktop', 'offline');
    } else if (state.shortLinks >= MAX_SHORT_LINKS) {
      setStatus('Disconnected: another phone may be using the desktop', 'offline');
      $('reconnect').hidden = false;
      return;
    } else {
      setStatus(`Offline, retrying in ${Math.ceil(state.retryMs / 1000)} s`, 'offline');
    }
    state.retryTimer = setTimeout(connect, state.retryMs);
    state.retryMs = Math.min(state.retryMs * 2, 10000);
  };
}

function setupConnection() {
  $('reconnect').addEventListener('click', () => {
    state.shortLinks = 0;
    state.retryMs = 500;
    connect();
  });
  document.addEventListener('visibilitychange', () => {
    if (!document.hidden && !state.socket && !state.retryTimer && $('reconnect').hidden)
      connect();
  });
}

function receive(message) {
  const [kind] = Object.keys(message);
  const body = message[kind] && typeof message[kind] === 'object' ? message[kind] : {};
  switch (kind) {
  case 'macHello':
    $('desktop-name').textContent = body.macName || 'the desktop';
    setStatus(`Connected to ${body.macName || 'the desktop'}`, 'connected');
    if (storedPin.get())
      pair(storedPin.get());
    else
      showPairing(true);
    break;
  case 'pairingConfirmed':
    state.paired = true;
    storedPin.set(state.pinSent);
    $('pair-message').textContent = '';
    setStatus(`Paired with ${$('desktop-name').textContent}`, 'paired');
    showPairing(false);
    break;
  case 'pairingRejected':
    if (state.paired)
      break; // a stray answer; the link stays paired
    storedPin.clear();
    $('pin').value = '';
    $('pair-message').textContent = 'That PIN was not taken. Check the PIN on the desktop, wait a moment and try again.';
    showPairing(true);
    break;
  case 'appListUpdate':
    if (Array.isArray(body.apps)) {
      state.apps = body.apps.slice(0, 8);
      state.running = new Set(state.apps.filter((app) => app.isRunning).map((app) => app.bundleIdentifier));
      const front = state.apps.find((app) => app.isFrontmost);
      state.frontmost = front ? front.bundleIdentifier : null;
      renderApps();
    }
    break;
  case 'runningAppsUpdate':
    if (Array.isArray(body.bundleIDs)) {
      state.running = new Set(body.bundleIDs);
      markApps();
    }
    break;
  case 'frontmostAppUpdate':
    state.frontmost = typeof body.bundleID === 'string' ? body.bundleID : null;
    markApps();
    break;
  case 'clipboardPayload':
    showClipboardText(typeof body.text === 'string' ? body.text : '');
    break;
  case 'clipboardImagePayload':
    if (typeof body.data === 'string')
      showClipboardImage(body.data);
    break;
  case 'ping':
    send('pong');
    break;
  }
}

// --- Pairing ------------------------------------------------------------

function showPairing(visible) {
  $('pairing').hidden = !visible;
  $('remote').hidden = visible;
  if (visible)
    closeMenu();
}

function pair(pin) {
  state.pinSent = pin;
  if (!send('iPhoneHello', { pin }))
    $('pair-message').textContent = 'Not connected yet: wait a moment and try again.';
}

function setupPairing() {
  const field = $('pin');
  field.addEventListener('input', () => { field.value = field.value.replace(/\D/g, '').slice(0, 4); });
  document.querySelectorAll('[data-digit]').forEach((key) => key.addEventListener('click', () => {
    if (field.value.length < 4)
      field.value += key.dataset.digit;
  }));
  $('pin-back').addEventListener('click', () => { field.value = field.value.slice(0, -1); });
  $('pin-clear').addEventListener('click', () => { field.value = ''; });
  $('pin-form').addEventListener('submit', (event) => {
    event.preventDefault();
    if (field.value.length !== 4) {
      $('pair-message').textContent = 'The PIN has four digits.';
      return;
    }
    $('pair-message').textContent = '';
    pair(field.value);
  });
}

// --- Applications ---------------------------------------------------------

function renderApps() {
  const list = $('apps');
  list.replaceChildren(...state.apps.map((app) => {
    const name = String(app.displayName || app.bundleIdentifier || '');
    const tile = document.createElement('li');
    tile.className = 'tile';
    tile.dataset.bundle = app.bundleIdentifier;

    const open = document.createElement('button');
    open.className = 'open';
    open.setAttribute('aria-label', name);
    const icon = document.createElement('img');
    icon.alt = '';
    if (app.iconData)
      icon.src = `data:image/png;base64,${app.iconData}`;
    const label = document.createElement('span');
    label.className = 'name';
    label.textContent = name;
    const dot = document.createElement('span');
    dot.className = 'dot';
    open.append(icon, label, dot);
    setupLongPress(open, app, name);

    const more = document.createElement('button');
    more.className = 'more';
    more.setAttribute('aria-label', `More for ${name}`);
    more.setAttribute('aria-haspopup', 'menu');
    more.innerHTML = '<span aria-hidden="true">⋯</span>';
    more.addEventListener('click', () => openMenu(app, name));

    tile.append(open, more);
    return tile;
  }));
  $('apps-empty').hidden = state.apps.length > 0;
  markApps();
}

function markApps() {
  document.querySelectorAll('.tile').forEach((tile) => {
    const running = state.running.has(tile.dataset.bundle);
    const front = state.frontmost === tile.dataset.bundle;
    tile.dataset.running = running;
    tile.dataset.frontmost = front;
    tile.querySelector('.open').setAttribute('aria-description', front ? 'In front' : running ? 'Running' : 'Not running');
  });
}

// A tap focuses the application (or launches it); holding it opens the menu.
function setupLongPress(button, app, name) {
  let timer = 0;
  let longPressed = false;
  const cancel = () => clearTimeout(timer);
  button.addEventListener('pointerdown', () => {
    longPressed = false;
    timer = setTimeout(() => { longPressed = true; openMenu(app, name); }, LONG_PRESS_MS);
  });
  ['pointerup', 'pointerleave', 'pointercancel'].forEach((type) => button.addEventListener(type, cancel));
  button.addEventListener('contextmenu', (event) => event.preventDefault());
  button.addEventListener('click', () => {
    if (longPressed) {
      longPressed = false;
      return;
    }
    send('focusApp', { bundleID: app.bundleIdentifier });
  });
}

function openMenu(app, name) {
  state.menuFor = app.bundleIdentifier;
  $('menu-title').textContent = name;
  $('menu').setAttribute('aria-label', name);
  $('menu').hidden = false;
  $('menu').querySelector('button').focus();
}

function closeMenu() {
  state.menuFor = null;
  $('menu').hidden = true;
}

function setupMenu() {
  $('menu').querySelectorAll('[data-command]').forEach((item) => item.addEventListener('click', () => {
    if (state.menuFor)
      send(item.dataset.command, { bundleID: state.menuFor });
    closeMenu();
  }));
  $('menu-close').addEventListener('click', closeMenu);
  document.addEventListener('keydown', (event) => { if (event.key === 'Escape') closeMenu(); });
}

// --- Quick actions and volume ---------------------------------------------

function setupActions() {
  document.querySelectorAll('.actions [data-command]').forEach((button) =>
    button.addEventListener('click', () => send(button.dataset.command)));
  // The desktop takes the wanted level (0 to 1), not a step.
  const volume = $('volume');
  let last = -1;
  const apply = () => {
    const level = Number(volume.value) / 100;
    if (level !== last && send('adjustVolume', { delta: level }))
      last = level;
  };
  volume.addEventListener('change', apply);
  let pending = 0;
  volume.addEventListener('input', () => { clearTimeout(pending); pending = setTimeout(apply, 120); });
}

// --- Clipboard ------------------------------------------------------------

function showClipboardText(text) {
  $('clip-image-box').hidden = true;
  $('clip-text-box').hidden = false;
  $('clip-text').value = text;
  $('clip-message').textContent = text ? '' : 'The desktop clipboard is empty.';
}

function showClipboardImage(base64) {
  if (state.clipImageUrl)
    URL.revokeObjectURL(state.clipImageUrl);
  state.clipImageUrl = '';
  $('clip-text-box').hidden = true;
  $('clip-image-box').hidden = false;
  $('clip-image').src = `data:image/png;base64,${base64}`;
  $('save-image').dataset.base64 = base64;
  $('clip-message').textContent = '';
}

// The image's bytes are made into a file only when it is saved.
function prepareDownload() {
  const link = $('save-image');
  if (state.clipImageUrl || !link.dataset.base64)
    return;
  const binary = atob(link.dataset.base64);
  const bytes = new Uint8Array(binary.length);
  for (let i = 0; i < binary.length; ++i)
    bytes[i] = binary.charCodeAt(i);
  state.clipImageUrl = URL.createObjectURL(new Blob([bytes], { type: 'image/png' }));
  link.href = state.clipImageUrl;
}

// Plain http:// on the local network has no asynchronous clipboard: a
// selected text field and the copy command serve there.
async function copyText(field) {
  if (window.isSecureContext && navigator.clipboard) {
    try {
      await navigator.clipboard.writeText(field.value);
      return true;
    } catch { /* fall back below */ }
  }
  field.focus();
  field.select();
  field.setSelectionRange(0, field.value.length);
  let copied = false;
  try {
    copied = document.execCommand('copy');
  } catch { /* reported below */ }
  return copied;
}

// An image as PNG base64 whose message fits the desktop's limit: scaled down
// until it does.
async function imageToBase64(file) {
  const bitmap = await createImageBitmap(file);
  const canvas = document.createElement('canvas');
  let scale = Math.min(1, 4096 / Math.max(bitmap.width, bitmap.height));
  for (let attempt = 0; attempt < 8; ++attempt) {
    canvas.width = Math.max(1, Math.round(bitmap.width * scale));
    canvas.height = Math.max(1, Math.round(bitmap.height * scale));
    canvas.getContext('2d').drawImage(bitmap, 0, 0, canvas.width, canvas.height);
    const base64 = canvas.toDataURL('image/png').slice('data:image/png;base64,'.length);
    const size = base64.length + '{"clipboardImagePayload":{"data":""}}'.length;
    if (size <= MAX_MESSAGE)
      return base64;
    scale *= Math.sqrt(MAX_MESSAGE / size) * 0.9;
  }
  throw new Error('too large');
}

function setupClipboard() {
  const message = $('clip-message');
  $('get-clipboard').addEventListener('click', () => {
    message.textContent = send('requestClipboard') ? '' : 'Not connected.';
  });
  $('copy').addEventListener('click', async () => {
    message.textContent = (await copyText($('clip-text'))) ? 'Copied.' : 'Select the text and copy it.';
  });
  $('save-image').addEventListener('click', prepareDownload);

  const field = $('send-text-field');
  field.addEventListener('focus', () => field.select());
  $('send-text').addEventListener('click', () => {
    message.textContent = send('clipboardPayload', { text: field.value }) ? 'Sent to the desktop clipboard.' : 'Not connected.';
  });

  const chooser = $('image-file');
  $('send-image').addEventListener('click', () => chooser.click());
  chooser.addEventListener('change', async () => {
    const file = chooser.files[0];
    chooser.value = '';
    if (!file)
      return;
    message.textContent = 'Preparing the image…';
    try {
      const data = await imageToBase64(file);
      message.textContent = send('clipboardImagePayload', { data }) ? 'Image sent to the desktop clipboard.' : 'Not connected.';
    } catch {
      message.textContent = 'That file could not be read as an image.';
    }
  });
}

setupConnection();
setupPairing();
setupMenu();
setupActions();
setupClipboard();
connect();
