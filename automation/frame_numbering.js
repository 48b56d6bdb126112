var m_count = 0;
function GetFramesCount(Frames) {
    try {
        Object.defineProperty(Frames, 'IDRECORD', { value: m_count + 1, writable: false });
    } catch (e) {}
    for (var i = 0; i < Frames.frames.length; i++) {
        m_count = m_count + 1;
        GetFramesCount(Frames.frames[i]);
    }
}
GetFramesCount(window);
window.top.FramesCount (m_count + 1);
